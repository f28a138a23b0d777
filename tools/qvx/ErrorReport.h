// Error reporting of the qvx tool: every failure is one line on stderr, "qvx: <file>: <message>",
// with the message text of the exception or of the operating system.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qvx::cli {

// A failure about one file (an output path, a directory, an entry), carrying the text to show.
class FileError : public std::runtime_error {
public:
    FileError(std::string file, const std::string& message) : std::runtime_error(message), file_(std::move(file)) {}
    const std::string& File() const noexcept { return file_; }

private:
    std::string file_;
};

// The operating system's text for an errno value.
std::string SystemMessage(int error);
// Raises FileError(file, SystemMessage(error)).
[[noreturn]] void ThrowSystemError(const std::string& file, int error);

// Writes "qvx: <file>: <message>" (or "qvx: <message>" when file is empty) as one line to stderr.
void ReportError(std::string_view file, std::string_view message);

// Reports the exception being handled, about file unless it is a FileError naming its own file,
// and returns the data-error exit code. Call only from a catch block.
int ReportCurrentException(std::string_view file);

}  // namespace qvx::cli
