// LauncherFile: a file the launcher opens or creates by its exact name and never through a link.
//
// The launcher writes only files it has just created itself: a new file is created exclusively, so
// a name already taken by anything (a file, a symbolic link even when it dangles, a junction or
// other reparse point, a FIFO, a directory) makes the creation fail and nothing is written through
// it. A written file is then sealed: its write access is traded for read access that lets nobody
// else write, delete or rename it (on Windows), checked to be still the same file. It is renamed
// into place by its handle, which replaces whatever name was there (a link is replaced, never
// followed), and removed only while it is still the same file.
//
// Names go to the system exactly: on Windows they are WTF-8 (WideText.h) turned into UTF-16 with the
// "\\?\" prefix, so a name outside the ANSI code page or longer than 260 characters is never
// mapped to another file; on POSIX they are the bytes as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::launcher {

class LauncherFile final : public TStream {
public:
    // What lies at a name, not following a link.
    enum class Kind {
        Absent,  // nothing
        File,    // a plain file
        Other,   // a link or reparse point, a directory, a device, a FIFO, or what cannot be examined
    };
    enum class CreateResult { Created, Exists, Failed };

    // Opens path for reading; others may read and write the file meanwhile. Raises EFOpenError
    // "Cannot open file <path>".
    static std::unique_ptr<LauncherFile> OpenReadShared(const std::string& path);
    // Creates path as a new, empty file with read and write access that nobody else may open
    // (executable: mode 0700 instead of 0600 on POSIX). Exists when anything at all is at path.
    static CreateResult CreateNew(const std::string& path, bool executable, std::unique_ptr<LauncherFile>& file);
    static Kind Probe(const std::string& path);

    // Closes the file; nothing is removed.
    ~LauncherFile() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    const std::string& Path() const noexcept { return path_; }
    bool IsOpen() const noexcept;

    // Trades the write access for read access that denies others write and delete access (Windows)
    // to the file at Path(), which must still be this file (same identity, a plain file with one
    // link). False when it is not or cannot be opened so; the file is then no longer open on
    // Windows.
    bool Seal();
    // Renames the file to path, replacing a plain file or link there; false when it cannot.
    bool MoveTo(const std::string& path);
    // Closes the file, remembering which file it was (for Remove).
    void Close() noexcept;
    // Deletes the file if Path() still names it (through the handle while open). Failures are
    // ignored; never deletes anything else.
    void Remove() noexcept;
    // The file descriptor (POSIX) or HANDLE (Windows).
    std::intptr_t NativeHandle() const noexcept { return handle_; }

private:
    LauncherFile(std::string path, std::intptr_t handle);

    std::string path_;
    std::intptr_t handle_;
    // The file's identity: device and inode on POSIX, volume serial number and file index on Windows.
    std::uint64_t volume_ = 0;
    std::uint64_t index_ = 0;
};

// Creates a new file dir + prefix + four hex digits + suffix, trying attempts numbers from seed on
// and skipping names already taken. Raises EFCreateError "Cannot create file <name>" with the name
// that failed for another reason, or the last one tried when every name was taken.
std::unique_ptr<LauncherFile> CreateUniqueFile(const std::string& dir, const std::string& prefix,
                                               const std::string& suffix, std::uint32_t seed, bool executable,
                                               int attempts = 65536);

}  // namespace qvx::launcher
