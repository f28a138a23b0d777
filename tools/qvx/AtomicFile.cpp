#include "AtomicFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "ErrorReport.h"

namespace qvx::cli {

namespace {

// "<dir>/.<name>.qvx-XXXXXX", the name shortened so the result stays a valid file name.
std::string TemporaryTemplate(const std::filesystem::path& target) {
    std::string name = target.filename().string();
    if (name.size() > 64) name.resize(64);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    return (dir / ("." + name + ".qvx-XXXXXX")).string();
}

// Renames from to to unless to exists; false with errno set otherwise.
bool RenameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A hard link fails with EEXIST when the target exists, atomically.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno == EEXIST) return false;
    // File systems without hard links: check, then rename.
    struct stat st {};
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

}  // namespace

unsigned DefaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    std::string pattern = TemporaryTemplate(target_);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) ThrowSystemError(target_.string(), errno);
    temporary_ = buffer.data();
    stream_ = std::make_unique<FdStream>(fd, true);
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

void AtomicFile::Discard() noexcept {
    stream_.reset();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void AtomicFile::Commit(bool overwrite) {
    const int fd = stream_->Fd();
    const std::string name = target_.string();
    unsigned mode = DefaultFileMode();
    if (readOnly_) mode &= ~0222u;
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) ThrowSystemError(name, errno);
    if (mtime_) {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_NOW;
        times[1].tv_sec = *mtime_;
        times[1].tv_nsec = 0;
        if (::futimens(fd, times) != 0) ThrowSystemError(name, errno);
    }
    if (::fsync(fd) != 0) ThrowSystemError(name, errno);
    if (::close(stream_->Release()) != 0) ThrowSystemError(name, errno);
    stream_.reset();

    const bool renamed = overwrite ? ::rename(temporary_.c_str(), name.c_str()) == 0
                                   : RenameNoReplace(temporary_.c_str(), name.c_str());
    if (!renamed) {
        const int error = errno;
        if (error == EEXIST && !overwrite) throw FileError(name, "File exists (use -f to overwrite)");
        ThrowSystemError(name, error);
    }
    committed_ = true;
}

}  // namespace qvx::cli
