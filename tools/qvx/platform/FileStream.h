// FileStream: a TStream on an open file of the system, a POSIX descriptor or a Win32 HANDLE
// (FileStreamPosix.cpp, FileStreamWin32.cpp). Reads and writes retry on interruption; a write
// delivers everything or reports how much it managed; seeking a pipe fails with -1.
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
#include <string>

#include <instcompress/Stream.h>

namespace qvx::platform {

enum class OpenMode {
    Read,           // an existing file for reading, shared as above; EISDIR for a directory
    WriteExisting,  // an existing file (a device, a pipe) for writing as it is, not truncated
    CreateNew,      // a new file for reading and writing; EEXIST when the name is taken
};

enum class StandardStream { Input = 0, Output = 1, Error = 2 };

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
    // A standard stream in binary mode, not closed with the stream.
    static std::unique_ptr<FileStream> Standard(StandardStream which);

    ~FileStream() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    // Whether the open file is a regular file (not a pipe, device or terminal).
    bool IsRegularFile() const noexcept;
    // Sets the permissions (POSIX: mode, the read-only attribute taken from its owner write bit)
    // or the attributes (Windows: the DOS bits, hidden, system and archive included) and the
    // modification time of the open file. 0 or the error.
    int SetAttributes(unsigned mode, std::uint32_t attributes, std::optional<std::time_t> modificationTime);
    // Writes the file's data through to the disk; 0 or the error.
    int Flush();
    // Writes the file's data through to the disk, then closes it. 0 or the error.
    int FlushAndClose();

#ifdef _WIN32
    using Native = void*;
#else
    using Native = int;
#endif
    FileStream(Native native, bool owns) noexcept : native_(native), owns_(owns) {}
    Native NativeHandle() const noexcept { return native_; }

private:
    Native native_;
    bool owns_;
};

// Whether a standard stream is a terminal (a console on Windows).
bool IsTerminal(StandardStream which) noexcept;

}  // namespace qvx::platform
