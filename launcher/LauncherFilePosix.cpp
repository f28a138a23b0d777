// LauncherFile on POSIX systems: O_CREAT | O_EXCL | O_NOFOLLOW for new files, identities by device
// and inode, rename() within the directory. No other process can be kept from writing a file, so a
// new file is readable and writable by its owner only.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <instcompress/Exceptions.h>

#include "LauncherFile.h"

namespace qvx::launcher {

namespace {

int Descriptor(std::intptr_t handle) noexcept { return static_cast<int>(handle); }

// A plain file with one link, and its identity.
bool PlainFile(const struct stat& st, std::uint64_t& volume, std::uint64_t& index) noexcept {
    volume = static_cast<std::uint64_t>(st.st_dev);
    index = static_cast<std::uint64_t>(st.st_ino);
    return S_ISREG(st.st_mode) && st.st_nlink == 1;
}

// The name still denotes the file of the given identity (not following a link).
bool NamesFile(const std::string& path, std::uint64_t volume, std::uint64_t index) noexcept {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_dev) == volume &&
           static_cast<std::uint64_t>(st.st_ino) == index;
}

}  // namespace

LauncherFile::LauncherFile(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}

LauncherFile::~LauncherFile() { Close(); }

bool LauncherFile::IsOpen() const noexcept { return handle_ >= 0; }

void LauncherFile::Close() noexcept {
    if (handle_ >= 0) ::close(Descriptor(handle_));
    handle_ = -1;
}

std::unique_ptr<LauncherFile> LauncherFile::OpenReadShared(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(fd);
        throw EFOpenError("Cannot open file " + path);
    }
    if (fd < 0) throw EFOpenError("Cannot open file " + path);
    std::unique_ptr<LauncherFile> file(new LauncherFile(path, fd));
    file->volume_ = static_cast<std::uint64_t>(st.st_dev);
    file->index_ = static_cast<std::uint64_t>(st.st_ino);
    return file;
}

LauncherFile::CreateResult LauncherFile::CreateNew(const std::string& path, bool executable,
                                                   std::unique_ptr<LauncherFile>& file) {
    const mode_t mode = executable ? S_IRWXU : (S_IRUSR | S_IWUSR);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    std::unique_ptr<LauncherFile> created(new LauncherFile(path, fd));
    struct stat st {};
    // The mode exactly as asked, whatever the umask took away.
    if (::fchmod(fd, mode) != 0 || ::fstat(fd, &st) != 0 || !PlainFile(st, created->volume_, created->index_)) {
        created->Remove();
        return CreateResult::Failed;
    }
    file = std::move(created);
    return CreateResult::Created;
}

LauncherFile::Kind LauncherFile::Probe(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? Kind::Absent : Kind::Other;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

std::int32_t LauncherFile::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    ssize_t n;
    do {
        n = ::read(Descriptor(handle_), buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<std::int32_t>(n);
}

std::int32_t LauncherFile::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(Descriptor(handle_), bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t LauncherFile::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(Descriptor(handle_), static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

bool LauncherFile::Seal() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    if (::fstat(fd, &st) != 0 || !PlainFile(st, volume, index) || volume != volume_ || index != index_) {
        ::close(fd);
        return false;
    }
    Close();
    handle_ = fd;
    return true;
}

bool LauncherFile::MoveTo(const std::string& path) {
    if (!NamesFile(path_, volume_, index_) || ::rename(path_.c_str(), path.c_str()) != 0) return false;
    // Another file put in place of this one's name between the check and the rename was moved
    // instead: this file is not at path.
    if (!NamesFile(path, volume_, index_)) return false;
    path_ = path;
    return true;
}

void LauncherFile::Remove() noexcept {
    if (NamesFile(path_, volume_, index_)) ::unlink(path_.c_str());
    Close();
}

}  // namespace qvx::launcher

#endif  // !_WIN32
