#include "FileStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <random>

#include "FileSystem.h"
#include "PosixFileStatus.h"

namespace qvx::platform {

namespace {

// The open() flags of a mode.
int FlagsOf(OpenMode mode) {
    switch (mode) {
        case OpenMode::Read: return O_RDONLY;
        case OpenMode::WriteExisting: return O_WRONLY;
        case OpenMode::CreateNew: return O_RDWR | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

// Six characters for a temporary file name.
std::string RandomSuffix() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix;
    for (int i = 0; i < 6; ++i) suffix += kAlphabet[pick(device)];
    return suffix;
}

}  // namespace

int FileStream::Open(const std::string& path, OpenMode mode, std::unique_ptr<FileStream>& out) {
    const int fd = ::open(path.c_str(), FlagsOf(mode) | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    auto stream = std::make_unique<FileStream>(fd, true, path);
    if (mode == OpenMode::Read) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return errno;
        if (S_ISDIR(st.st_mode)) return EISDIR;
        // The library's file streams stand in for Windows' share modes with flock().
        if (S_ISREG(st.st_mode) && ::flock(fd, LOCK_SH | LOCK_NB) != 0) return EBUSY;
    }
    out = std::move(stream);
    return 0;
}

int FileStream::CreateTemporary(const std::string& directory, const std::string& prefix, std::string& path,
                                std::unique_ptr<FileStream>& out) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "/" + prefix + RandomSuffix();
        const int error = Open(path, OpenMode::CreateNew, out);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

int FileStream::CreateAnonymous(const std::string& prefix, std::unique_ptr<FileStream>& out) {
#ifdef O_TMPFILE
    // A file that never has a name: nothing is left whenever the process ends.
    const int fd = ::open(TemporaryDirectory().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        out = std::make_unique<FileStream>(fd, true);
        return 0;
    }
#endif
    std::string path;
    const int error = CreateTemporary(TemporaryDirectory(), prefix + "-", path, out);
    if (error == 0) ::unlink(path.c_str());
    return error;
}

std::unique_ptr<FileStream> FileStream::Standard(StandardStream which) {
    static constexpr const char* kNames[] = {"standard input", "standard output", "standard error"};
    return std::make_unique<FileStream>(static_cast<int>(which), false, kNames[static_cast<int>(which)]);
}

FileStream::~FileStream() {
    if (owns_ && native_ >= 0) ::close(native_);
}

std::int32_t FileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    for (;;) {
        const auto n = ::read(native_, buffer, static_cast<std::size_t>(count));
        if (n >= 0) return static_cast<std::int32_t>(n);
        if (errno != EINTR) throw StreamFailure(name_, errno);
    }
}

std::int32_t FileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const auto n = ::write(native_, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw StreamFailure(name_, errno);
        if (n == 0) throw StreamFailure(name_, EIO);
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const auto result = ::lseek(native_, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

bool FileStream::IsRegularFile() const noexcept {
    struct stat st {};
    return ::fstat(native_, &st) == 0 && S_ISREG(st.st_mode);
}

bool FileStream::IsTerminal() const noexcept { return ::isatty(native_) == 1; }

int FileStream::SetAttributes(unsigned mode, std::uint32_t, std::optional<std::time_t> modificationTime) {
    if (::fchmod(native_, static_cast<mode_t>(mode)) != 0) return errno;
    return modificationTime ? SetModificationTime(native_, *modificationTime) : 0;
}

int FileStream::Flush() { return ::fsync(native_) == 0 ? 0 : errno; }

bool IsTerminal(StandardStream which) noexcept { return ::isatty(static_cast<int>(which)) == 1; }

}  // namespace qvx::platform
