// Directory: a directory held open, through which files below it are reached without a path that
// another process could change meanwhile (DirectoryPosix.cpp, DirectoryWin32.cpp).
//
// A directory is opened once by the path the user gave (links followed: the user named it); every
// directory below it is opened or made relative to its parent's handle and never through a link
// (POSIX openat/mkdirat with O_NOFOLLOW | O_DIRECTORY; Windows CreateFileW with
// FILE_FLAG_OPEN_REPARSE_POINT, reparse points refused). On Windows the handle is held without
// FILE_SHARE_DELETE, so the directory cannot be renamed, removed or swapped for a link while it is
// held, and the files made in it are checked through their handle's final path.
//
// Temporary files are made in the directory (TemporaryFile) and renamed within it. Errors are this
// layer's error numbers (FileSystem.h); a symbolic link or other reparse point where a directory
// should be is ELOOP.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "FileStream.h"
#include "FileSystem.h"
#include "TemporaryFiles.h"

namespace qvx::platform {

class TemporaryFile;

// The path of name inside the directory at path, for messages ("out/d", "out\\d" on Windows).
std::string ChildPathOf(const std::string& path, const std::string& name);

class Directory : public std::enable_shared_from_this<Directory> {
public:
#ifdef _WIN32
    using Native = void*;
#else
    using Native = int;
#endif
    // Opens the directory at path (UTF-8), following links; 0 or the error (ENOTDIR for a file).
    static int Open(const std::string& path, std::shared_ptr<Directory>& out);

    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // The path the directory was reached by, for messages.
    const std::string& Path() const noexcept { return path_; }
    // The path of a child, for messages.
    std::string ChildPath(const std::string& name) const { return ChildPathOf(path_, name); }

    // Opens the directory name inside this one without following a link; with create it is made
    // first when nothing has that name (*created tells whether it was). ELOOP for a link or
    // reparse point, ENOTDIR for something else that is not a directory.
    int OpenChild(const std::string& name, bool create, std::shared_ptr<Directory>& out, bool* created = nullptr);
    // The status of what name is inside this directory, a link itself rather than what it points
    // to (on Windows every reparse point is a SymbolicLink); 0 or the error (ENOENT).
    int ChildStatus(const std::string& name, FileStatus& status) const;
    // Removes the empty directory name inside this one (ENOTEMPTY when it holds something).
    int RemoveChildDirectory(const std::string& name) const;

    // A new file in this directory named prefix followed by random characters, registered with
    // the process's TemporaryFiles so that an interrupt removes it. 0 or the error.
    int CreateTemporary(const std::string& prefix, std::unique_ptr<TemporaryFile>& out);

    Native NativeHandle() const noexcept { return native_; }

private:
    friend class TemporaryFile;
#ifdef _WIN32
    Directory(Native native, std::string path, std::wstring finalPath);
#else
    Directory(Native native, std::string path);
#endif

    Native native_;
    std::string path_;
#ifdef _WIN32
    std::wstring final_;  // the path the system gives for the handle, \\?\ form
#endif
    std::uint64_t seed_ = 0;  // for temporary names
};

// A file being written in a Directory under a temporary name; the directory is kept open with it.
// Destroyed without Commit() it is removed. While it exists an interrupt (SIGINT, SIGTERM, SIGHUP;
// Ctrl+C, Ctrl+Break or closing the console on Windows) removes it before the process ends.
class TemporaryFile {
public:
    TemporaryFile(std::shared_ptr<Directory> directory, std::string name, std::unique_ptr<FileStream> stream,
                  TemporaryFiles::Registration registration) noexcept;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FileStream& Stream() noexcept { return *stream_; }
    const Directory& Parent() const noexcept { return *directory_; }

    // Writes the file's data through to the disk (fsync, FlushFileBuffers); 0 or the error.
    int Sync();
    // Sets the permissions, attributes and modification time (FileStream::SetAttributes).
    int SetAttributes(unsigned mode, std::uint32_t attributes, std::optional<std::time_t> modificationTime);
    // Renames the file to target inside the same directory. With replace whatever has that name
    // (a file, a link, a FIFO: never what a link points to) is replaced, except a directory
    // (EISDIR); without it EEXIST when the name is taken, checked by the rename itself. On success
    // the file is closed and no longer temporary. 0 or the error.
    int CommitAs(const std::string& target, bool replace);

private:
    void Remove() noexcept;

    std::shared_ptr<Directory> directory_;
    std::string name_;
    std::unique_ptr<FileStream> stream_;
    TemporaryFiles::Registration registration_;
    bool committed_ = false;
};

}  // namespace qvx::platform
