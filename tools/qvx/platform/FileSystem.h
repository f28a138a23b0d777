// platform/: the operating system as the tool needs it, the same functions on POSIX and on Windows:
// files and folders, file streams and the atomic output file, temporary files and the
// standard-input spool, consoles and the terminal, same-file checks, UTF-8 paths, and FileError,
// the one error type for a file, which carries the system's error number. It is the lowest folder
// of the tool: it uses the standard library, the system's headers and the library's streams and
// exceptions, and no other folder of the tool.
//
// FileSystem: the file system services of the qvx tool, the same functions on POSIX
// (FileSystemPosix.cpp) and on Windows (FileSystemWin32.cpp).
//
// Paths are UTF-8 everywhere. On Windows they are converted to UTF-16 at the system boundary
// (NativePath.h): both separators, drive letters and UNC paths are taken as they are, and a path
// longer than the system's 260 characters is made absolute and given the \\?\ prefix.
//
// Failures are returned as an error number: an errno value (ENOENT, EACCES, EISDIR, ...), so that
// both systems give the same text for the same fault; on Windows a system error code that has no
// errno counterpart is returned negated and shown with the system's own text (ErrorText).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace qvx::platform {

// The error of the system call that just failed (errno, or GetLastError() translated).
int LastError() noexcept;
// The text for an error number from this layer ("No such file or directory").
std::string ErrorText(int error);

enum class FileType { Regular, Directory, SymbolicLink, Other };

// The DOS attribute bits, as archives store them and Windows keeps them.
inline constexpr std::uint32_t kReadOnlyAttribute = 0x01;
inline constexpr std::uint32_t kHiddenAttribute = 0x02;
inline constexpr std::uint32_t kSystemAttribute = 0x04;
inline constexpr std::uint32_t kArchiveAttribute = 0x20;

struct FileStatus {
    FileType Type = FileType::Other;
    std::int64_t Size = 0;
    std::time_t ModificationTime = 0;
    bool ReadOnly = false;    // POSIX: the owner may not write; Windows: the read-only attribute
    bool Executable = false;  // POSIX: the owner may execute (never on Windows)
    // The read-only, hidden, system and archive bits (POSIX: read-only and archive only).
    std::uint32_t Attributes = 0;
    // Which file this is: device and inode, or volume serial number and file index.
    std::uint64_t Device = 0;
    std::uint64_t Identity = 0;
};

enum class Links { Follow, DoNotFollow };

// The status of path (of a symbolic link itself with DoNotFollow); 0 or the error.
int GetStatus(const std::string& path, FileStatus& status, Links links = Links::Follow);
// Whether the process may write to the file or into the directory (POSIX access(W_OK); Windows:
// the read-only attribute of a file); 0 or the error.
int CheckWritable(const std::string& path);

// The names in a directory (not "." and ".."), in the order the system gives them; 0 or the error.
int ListDirectory(const std::string& path, std::vector<std::string>& names);
// Makes one directory; EEXIST when something exists under the name.
int MakeDirectory(const std::string& path);
// Removes a file; 0 or the error.
int RemoveFile(const std::string& path);
// Moves from to to. With replace an existing file is replaced atomically (POSIX rename(),
// Windows MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); without it the move
// fails with EEXIST when to exists, the check made by the move itself.
int RenameFile(const std::string& from, const std::string& to, bool replace);

// The directory for temporary files (TMPDIR or /tmp; GetTempPathW), without a trailing separator.
std::string TemporaryDirectory();
// The permission bits a new file gets on POSIX: 0666 less the umask (0666 on Windows).
unsigned DefaultFileMode();

// A std::filesystem path from UTF-8 and back, whatever narrow encoding the library assumes.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

}  // namespace qvx::platform
