// Error reporting of the qvx tool: every failure is one line on stderr in one style,
// "qvx: <file>: <message>" (or "qvx: <message>" when no file is concerned), where the message says
// why: the library's own text for damaged data ("Bad checksum during expansion -- data may be
// invalid"), the operating system's text for a file that cannot be used ("No such file or
// directory", "Is a directory", "Permission denied"), or the tool's own.
#pragma once

#include <optional>
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

// The operating system's text for an error number of the platform layer (an errno value).
std::string SystemMessage(int error);
// Raises FileError(file, SystemMessage(error)).
[[noreturn]] void ThrowSystemError(const std::string& file, int error);

// Why the file cannot be opened for reading, in the system's words ("No such file or directory",
// "Is a directory", "Permission denied"); empty when it can be opened now.
std::string WhyCannotOpen(const std::string& path);
// Why the file cannot be created or replaced; empty when nothing stands in the way now.
std::string WhyCannotCreate(const std::string& path);

// Writes "qvx: <file>: <message>" (or "qvx: <message>" when file is empty) as one line to stderr,
// shown as ShownText shows text: control characters cannot reach the terminal.
void ReportError(std::string_view file, std::string_view message);

// What ReportCurrentException reports: the file and the message.
struct ErrorLine {
    std::string File;
    std::string Message;
};

// The exception being handled as the line to report, about file unless it names a file of its own
// (a FileError, a stream that could not be opened, created, read or written); std::nullopt when
// it needs no line (standard output was lost: StandardStreams reports that). Call only from a
// catch block.
std::optional<ErrorLine> DescribeCurrentException(std::string_view file);

// Reports the exception being handled (DescribeCurrentException) and returns the data-error exit
// code. Call only from a catch block.
int ReportCurrentException(std::string_view file);

}  // namespace qvx::cli
