#include "FdStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>

#include "ErrorReport.h"

#ifdef _WIN32
#include <io.h>
#endif

namespace qvx::cli {

FdStream::~FdStream() {
    if (owns_ && fd_ >= 0) ::close(fd_);
}

int FdStream::Release() noexcept {
    owns_ = false;
    return fd_;
}

std::int32_t FdStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    for (;;) {
        const auto n = ::read(fd_, buffer, static_cast<std::size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? 0 : static_cast<std::int32_t>(n);
    }
}

std::int32_t FdStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const auto n = ::write(fd_, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t FdStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const auto result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

FdStream StandardOutput() {
#ifdef _WIN32
    _setmode(1, _O_BINARY);
#endif
    return FdStream(1, false);
}

std::unique_ptr<FdStream> AnonymousTemporaryFile(const std::string& prefix) {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) ThrowSystemError(pattern, errno);
    ::unlink(pattern.c_str());
    return std::make_unique<FdStream>(fd, true);
}

}  // namespace qvx::cli
