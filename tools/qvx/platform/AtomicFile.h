// AtomicFile: an output file that appears complete or not at all. The data goes to a temporary
// sibling of the target (same directory, so the final rename stays on one file system); Commit()
// applies the permissions (the attributes on Windows) and modification time, flushes the data to
// disk unless told not to, and renames the file into place. Until then the target is untouched,
// and an AtomicFile destroyed without Commit() removes its temporary file, so a failure leaves
// nothing behind and loses no existing file. An interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C on
// Windows) removes the temporary file too (platform/TemporaryFiles.h).
//
// The temporary file is made in the target's directory through a handle on that directory and
// renamed within it (platform/Directory.h), so nothing can redirect it between the two.
//
// An AtomicFile made from a path (an output the user named on the command line): a target that
// exists and is neither a regular file nor a directory (a device such as /dev/null or NUL, a FIFO)
// is written in place instead, since putting a new file in its place would replace the device. It
// is opened at once (so that a refusal comes before any work), the data is collected in an
// anonymous temporary file (the stream can seek, as an archive writer needs) and Commit() copies it
// to the target; without Commit() nothing reaches it. Without overwrite Commit() refuses like for
// any existing target. No permissions, attributes or times are applied to it.
//
// An AtomicFile made in a Directory (extract's files) never writes in place: whatever stands under
// the name (a link, a FIFO, a device) is never opened, and Commit(true) replaces it itself.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileStreams.h"
#include "platform/Directory.h"

namespace qvx::cli {

class AtomicFile {
public:
    // Creates the temporary file next to target (or opens target as it is, see above); raises
    // FileError about target when it cannot.
    explicit AtomicFile(std::filesystem::path target);
    // Creates the temporary file in directory for the file name inside it; raises FileError about
    // the file's path when it cannot.
    AtomicFile(const std::shared_ptr<platform::Directory>& directory, std::string name);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    TStream& Stream() noexcept;
    // The target's path, as shown in messages.
    const std::string& Target() const noexcept { return display_; }
    bool WritesInPlace() const noexcept { return inPlace_ != nullptr; }

    // The committed file loses its write permissions (the read-only attribute).
    void SetReadOnly(bool readOnly) noexcept { readOnly_ = readOnly; }
    // The committed file may be executed (POSIX: the execute bits the umask allows).
    void SetExecutable(bool executable) noexcept { executable_ = executable; }
    // The hidden, system and archive attributes of the committed file (kept on Windows only).
    void SetAttributes(std::uint32_t attributes) noexcept { attributes_ = attributes; }
    void SetModificationTime(std::time_t t) noexcept { mtime_ = t; }
    // Whether Commit() writes the data through to the disk first (default: yes).
    void SetSync(bool sync) noexcept { sync_ = sync; }

    // Puts the file in place. Without overwrite an existing target is left alone and FileError
    // "File exists" is raised (checked atomically by the rename itself).
    void Commit(bool overwrite);

private:
    void CreateIn(const std::shared_ptr<platform::Directory>& directory);

    std::string display_;  // the target's path for messages
    std::string name_;     // the target's name inside its directory
    std::unique_ptr<platform::TemporaryFile> temporary_;
    std::unique_ptr<FileStream> collected_;  // in place: the data until Commit()
    std::unique_ptr<FileStream> inPlace_;    // the special file written on Commit()
    bool readOnly_ = false;
    bool executable_ = false;
    bool sync_ = true;
    std::uint32_t attributes_ = 0x20;
    std::optional<std::time_t> mtime_;
};

// The permission bits new files get: 0666 less the process's umask.
unsigned DefaultFileMode();

}  // namespace qvx::cli
