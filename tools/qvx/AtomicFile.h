// AtomicFile: an output file that appears complete or not at all. The data goes to a temporary
// sibling of the target (same directory, so the final rename stays on one file system); Commit()
// flushes it to disk, applies the permissions and modification time and renames it into place.
// Until then the target is untouched, and an AtomicFile destroyed without Commit() removes its
// temporary file, so a failure leaves nothing behind and loses no existing file.
#pragma once

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>

#include "FdStream.h"

namespace qvx::cli {

class AtomicFile {
public:
    // Creates the temporary file next to target; raises FileError about target when it cannot.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    TStream& Stream() noexcept { return *stream_; }
    const std::filesystem::path& Target() const noexcept { return target_; }
    const std::filesystem::path& TemporaryPath() const noexcept { return temporary_; }

    // The committed file loses its write permissions (the read-only attribute).
    void SetReadOnly(bool readOnly) noexcept { readOnly_ = readOnly; }
    void SetModificationTime(std::time_t t) noexcept { mtime_ = t; }

    // Puts the file in place. Without overwrite an existing target is left alone and FileError
    // "File exists" is raised (checked atomically by the rename itself).
    void Commit(bool overwrite);

private:
    void Discard() noexcept;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::unique_ptr<FdStream> stream_;
    bool readOnly_ = false;
    std::optional<std::time_t> mtime_;
    bool committed_ = false;
};

// The permission bits new files get: 0666 less the process's umask.
unsigned DefaultFileMode();

}  // namespace qvx::cli
