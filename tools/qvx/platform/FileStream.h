// FileStream: a TStream on an open file of the system, a POSIX descriptor or a Win32 HANDLE
// (FileStreamPosix.cpp, FileStreamWin32.cpp). Reads and writes retry on interruption; a write
// delivers everything; seeking a pipe fails with -1. A read or write the system refuses raises
// StreamFailure with the system's error and the stream's name (its path, or "standard output"),
// so that a full disk reads "No space left on device" about the file it happened to; the end of
// a pipe is the end of the stream, not a failure.
//
// Files are opened by UTF-8 path (FileSystem.h). Reading shares the file with other readers and
// lets it be renamed or deleted meanwhile (Windows FILE_SHARE_READ | FILE_SHARE_DELETE, so that
// a virus scanner can look in); a file another process holds in a way that excludes readers is
// refused at once (EBUSY, "File is in use by another program"), never waited for. On POSIX the
// sharing is the library file stream's: non-blocking flock() locks.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::platform {

enum class OpenMode {
    Read,           // an existing file for reading, shared as above; EISDIR for a directory
    WriteExisting,  // an existing file (a device, a pipe) for writing as it is, not truncated
    CreateNew,      // a new file for reading and writing; EEXIST when the name is taken
};

enum class StandardStream { Input = 0, Output = 1, Error = 2 };

// A read or write of a FileStream that the system refused: the error number (an errno value, see
// FileSystem.h) and the name of the stream it happened to.
class StreamFailure : public std::runtime_error {
public:
    StreamFailure(std::string file, int error)
        : std::runtime_error("input/output error"), file_(std::move(file)), error_(error) {}
    const std::string& File() const noexcept { return file_; }
    int Error() const noexcept { return error_; }

private:
    std::string file_;
    int error_;
};

class FileStream final : public TStream {
public:
    // Opens path; 0 and the stream in out, or the error.
    static int Open(const std::string& path, OpenMode mode, std::unique_ptr<FileStream>& out);
    // A new file in directory named prefix followed by random characters, made with CreateNew;
    // its path in path. 0 or the error.
    static int CreateTemporary(const std::string& directory, const std::string& prefix, std::string& path,
                               std::unique_ptr<FileStream>& out);
    // A new file in the temporary directory that no name leads to: it goes away with the stream.
    // (Windows keeps a name for it while it is open and deletes it when the handle closes, even
    // when the process is ended.)
    static int CreateAnonymous(const std::string& prefix, std::unique_ptr<FileStream>& out);
    // A standard stream in binary mode, not closed with the stream; named "standard input",
    // "standard output" or "standard error".
    static std::unique_ptr<FileStream> Standard(StandardStream which);

    ~FileStream() override;

    // Both raise StreamFailure when the system refuses; Read returns 0 only at the end.
    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    // The name failures are reported under: the path the stream was opened with unless set.
    void SetName(std::string name) { name_ = std::move(name); }

    // Whether the open file is a regular file (not a pipe, device or terminal).
    bool IsRegularFile() const noexcept;
    // Whether the open file is a terminal (a console on Windows).
    bool IsTerminal() const noexcept;
    // Sets the permissions (POSIX: mode, the read-only attribute taken from its owner write bit)
    // or the attributes (Windows: the DOS bits, hidden, system and archive included) and the
    // modification time of the open file. 0 or the error.
    int SetAttributes(unsigned mode, std::uint32_t attributes, std::optional<std::time_t> modificationTime);
    // Writes the file's data through to the disk; 0 or the error.
    int Flush();

#ifdef _WIN32
    using Native = void*;
#else
    using Native = int;
#endif
    FileStream(Native native, bool owns, std::string name = {}) noexcept
        : native_(native), owns_(owns), name_(std::move(name)) {}
    Native NativeHandle() const noexcept { return native_; }

private:
    Native native_;
    bool owns_;
    std::string name_;
};

// Whether a standard stream is a terminal (a console on Windows).
bool IsTerminal(StandardStream which) noexcept;

}  // namespace qvx::platform
