// TFileStream on the two systems: CreateFileA and its share modes on Windows; open() with
// non-blocking flock() locks standing in for the share modes on POSIX systems.
#include <instcompress/FileStream.h>

#include <instcompress/Exceptions.h>

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace qvx {

TFileStream::TFileStream(const std::string& path, FileMode mode) : path_(path) {
    DWORD access = GENERIC_READ;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case FileMode::ReadShared: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
        case FileMode::ReadExclusive: break;
        case FileMode::Create:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
    }
    HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const auto why = static_cast<int>(::GetLastError());
        if (mode == FileMode::Create) throw EFCreateError("Cannot create file " + path, path, why);
        throw EFOpenError("Cannot open file " + path, path, why);
    }
    handle_ = h;
}

TFileStream::~TFileStream() {
    if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::WriteFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(static_cast<HANDLE>(handle_), distance, &result, method)) return -1;
    return result.QuadPart;
}

}  // namespace qvx

#else  // POSIX

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qvx {

TFileStream::TFileStream(const std::string& path, FileMode mode) : path_(path) {
    const bool create = mode == FileMode::Create;
    const int flags = (create ? (O_RDWR | O_CREAT) : O_RDONLY) | O_CLOEXEC;
    fd_ = ::open(path.c_str(), flags, 0666);
    int error = fd_ < 0 ? errno : 0;
    // Gives up the open file with the error that stops its use.
    const auto fail = [this, &error](int why) {
        error = why;
        ::close(fd_);
        fd_ = -1;
    };
    // A directory opens for reading on POSIX but is no file (as on Windows).
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) != 0) fail(errno);
    if (fd_ >= 0 && S_ISDIR(st.st_mode)) fail(EISDIR);
    // The lock is taken before a created file is truncated, so a file held by another opener is
    // never emptied.
    if (fd_ >= 0 && ::flock(fd_, (mode == FileMode::ReadShared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) fail(errno);
    if (fd_ >= 0 && create && ::ftruncate(fd_, 0) != 0) fail(errno);
    if (fd_ < 0) {
        if (create) throw EFCreateError("Cannot create file " + path, path, error);
        throw EFOpenError("Cannot open file " + path, path, error);
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    ssize_t n;
    do {
        n = ::read(fd_, buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<std::int32_t>(n);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

}  // namespace qvx

#endif
