#include "Directory.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "PosixFileStatus.h"

namespace qvx::platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The next value of a SplitMix64 sequence: the random part of temporary names.
std::uint64_t NextRandom(std::uint64_t& state) noexcept {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string RandomSuffix(std::uint64_t& state) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t bits = NextRandom(state);
    std::string suffix;
    for (int i = 0; i < 6; ++i, bits /= 62) suffix += kAlphabet[bits % 62];
    return suffix;
}

// Why openat() refused a directory: ELOOP for a symbolic link, ENOTDIR for another kind of file.
int Classify(int directory, const std::string& name, int error) {
    if (error != ELOOP && error != ENOTDIR && error != EMLINK) return error;
    struct stat st {};
    if (::fstatat(directory, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return error;
    if (S_ISLNK(st.st_mode)) return ELOOP;
    return S_ISDIR(st.st_mode) ? error : ENOTDIR;
}

}  // namespace

Directory::Directory(Native native, std::string path) : native_(native), path_(std::move(path)) {}

Directory::~Directory() {
    if (native_ >= 0) ::close(native_);
}

int Directory::Open(const std::string& path, std::shared_ptr<Directory>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    out.reset(new Directory(fd, path));
    out->seed_ = (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    return 0;
}

std::string ChildPathOf(const std::string& path, const std::string& name) {
    if (path.empty()) return name;
    return path.back() == '/' ? path + name : path + "/" + name;
}

int Directory::OpenChild(const std::string& name, bool create, std::shared_ptr<Directory>& out, bool* created) {
    if (created) *created = false;
    int fd = ::openat(native_, name.c_str(), kDirectoryFlags);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(native_, name.c_str(), 0777) == 0) {
            if (created) *created = true;
        } else if (errno != EEXIST) {
            return errno;
        }
        fd = ::openat(native_, name.c_str(), kDirectoryFlags);
    }
    if (fd < 0) return Classify(native_, name, errno);
    out.reset(new Directory(fd, ChildPath(name)));
    out->seed_ = NextRandom(seed_);
    return 0;
}

int Directory::ChildStatus(const std::string& name, FileStatus& status) const {
    struct stat st {};
    if (::fstatat(native_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    status = StatusFromStat(st);
    return 0;
}

int Directory::RemoveChildDirectory(const std::string& name) const {
    return ::unlinkat(native_, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int Directory::CreateTemporary(const std::string& prefix, std::unique_ptr<TemporaryFile>& out) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + RandomSuffix(seed_);
        // Registered before it exists, so that no moment passes with the file made and not known.
        TemporaryFiles::Registration registration = TemporaryFiles::Add(native_, name.c_str());
        // 0666 less the umask: the permissions most files keep, so that most need no fchmod().
        const int fd = ::openat(native_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            out = std::make_unique<TemporaryFile>(shared_from_this(), name, std::make_unique<FileStream>(fd, true),
                                                  std::move(registration));
            return 0;
        }
        const int error = errno;
        registration.Release();
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

TemporaryFile::TemporaryFile(std::shared_ptr<Directory> directory, std::string name, std::unique_ptr<FileStream> stream,
                             TemporaryFiles::Registration registration) noexcept
    : directory_(std::move(directory)),
      name_(std::move(name)),
      stream_(std::move(stream)),
      registration_(std::move(registration)) {}

TemporaryFile::~TemporaryFile() {
    if (!committed_) Remove();
}

void TemporaryFile::Remove() noexcept {
    ::unlinkat(directory_->NativeHandle(), name_.c_str(), 0);
    registration_.Release();
    stream_.reset();
}

int TemporaryFile::Sync() { return stream_->Flush(); }

int TemporaryFile::SetAttributes(unsigned mode, std::uint32_t, std::optional<std::time_t> modificationTime) {
    const int fd = stream_->NativeHandle();
    // The file was made with the default permissions.
    if (mode != DefaultFileMode() && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) return errno;
    return modificationTime ? SetModificationTime(fd, *modificationTime) : 0;
}

int TemporaryFile::CommitAs(const std::string& target, bool replace) {
    const int dir = directory_->NativeHandle();
    const char* from = name_.c_str();
    const char* to = target.c_str();
    int error = 0;
    if (replace) {
        if (::renameat(dir, from, dir, to) != 0) error = errno;
    } else {
        error = -1;
#ifdef RENAME_NOREPLACE
        if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0)
            error = 0;
        else if (errno != EINVAL && errno != ENOSYS)
            error = errno;
#endif
        if (error == -1) {
            // A hard link fails with EEXIST when the target exists, atomically.
            if (::linkat(dir, from, dir, to, 0) == 0) {
                ::unlinkat(dir, from, 0);
                error = 0;
            } else if (errno == EEXIST) {
                error = EEXIST;
            } else {
                // File systems without hard links: check, then rename.
                struct stat st {};
                if (::fstatat(dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    error = EEXIST;
                else
                    error = ::renameat(dir, from, dir, to) == 0 ? 0 : errno;
            }
        }
    }
    if (error != 0) return error;
    committed_ = true;
    registration_.Release();
    stream_.reset();
    return 0;
}

}  // namespace qvx::platform
