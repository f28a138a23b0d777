// FileError: the one error type of the tool for a failure about one file (an input, an output
// path, a folder, an entry). It carries the file, the text to show and, when the system refused
// something, the system's error number, so the reason travels with the exception and nobody has
// to read the text or look at the disk again to find it.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace qvx::platform {

class FileError : public std::runtime_error {
public:
    // message is the text to show; error the platform error number behind it (FileSystem.h), or
    // 0 when the text is the tool's own ("not an archive").
    FileError(std::string file, const std::string& message, int error = 0)
        : std::runtime_error(message), file_(std::move(file)), error_(error) {}
    const std::string& File() const noexcept { return file_; }
    int Error() const noexcept { return error_; }

private:
    std::string file_;
    int error_;
};

// The operating system's text for an error number of the platform layer ("No such file or
// directory").
std::string SystemMessage(int error);
// Raises FileError(file, SystemMessage(error), error).
[[noreturn]] void ThrowSystemError(const std::string& file, int error);

// The text for a file that another opener holds.
inline constexpr char kFileInUseText[] = "File is in use by another program";
// Whether an error number says that another opener holds the file: EBUSY (a sharing violation on
// Windows, a lock of the tool's own streams) or EWOULDBLOCK (a lock conflict of the library's file
// streams on POSIX systems).
bool IsFileInUse(int error) noexcept;

// The platform error number of a system error as the library's file streams keep it (errno on
// POSIX systems, a Win32 error code on Windows); 0 for no error.
int ErrorNumber(int systemError) noexcept;

}  // namespace qvx::platform
