// AtomicFile: an output file that appears complete or not at all. The data goes to a temporary
// sibling of the target (same directory, so the final rename stays on one file system); Commit()
// flushes it to disk, applies the permissions (the attributes on Windows) and modification time
// and renames it into place. Until then the target is untouched, and an AtomicFile destroyed
// without Commit() removes its temporary file, so a failure leaves nothing behind and loses no
// existing file.
//
// A target that exists and is neither a regular file nor a directory (a device such as /dev/null
// or NUL, a FIFO) is written in place instead: putting a new file in its place would replace the
// device. It is opened at once (so that a refusal comes before any work), the data is collected in
// an anonymous temporary file (the stream can seek, as an archive writer needs) and Commit()
// copies it to the target; without Commit() nothing reaches it. Without overwrite Commit() refuses
// like for any existing target. No permissions, attributes or times are applied to it.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>

#include "FileStreams.h"

namespace qvx::cli {

class AtomicFile {
public:
    // Creates the temporary file next to target (or opens target as it is, see above); raises
    // FileError about target when it cannot.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    TStream& Stream() noexcept { return *stream_; }
    const std::filesystem::path& Target() const noexcept { return target_; }
    // Empty when the target is written in place.
    const std::filesystem::path& TemporaryPath() const noexcept { return temporary_; }
    bool WritesInPlace() const noexcept { return inPlace_ != nullptr; }

    // The committed file loses its write permissions (the read-only attribute).
    void SetReadOnly(bool readOnly) noexcept { readOnly_ = readOnly; }
    // The committed file may be executed (POSIX: the execute bits the umask allows).
    void SetExecutable(bool executable) noexcept { executable_ = executable; }
    // The hidden, system and archive attributes of the committed file (kept on Windows only).
    void SetAttributes(std::uint32_t attributes) noexcept { attributes_ = attributes; }
    void SetModificationTime(std::time_t t) noexcept { mtime_ = t; }

    // Puts the file in place. Without overwrite an existing target is left alone and FileError
    // "File exists" is raised (checked atomically by the rename itself).
    void Commit(bool overwrite);

private:
    void Discard() noexcept;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::unique_ptr<FileStream> stream_;
    std::unique_ptr<FileStream> inPlace_;  // the special file written on Commit()
    bool readOnly_ = false;
    bool executable_ = false;
    std::uint32_t attributes_ = 0x20;
    std::optional<std::time_t> mtime_;
    bool committed_ = false;
};

// The permission bits new files get: 0666 less the process's umask.
unsigned DefaultFileMode();

}  // namespace qvx::cli
