// FdStream: a TStream on an open POSIX file descriptor (standard input and output, temporary
// files). Reads and writes retry on interruption; a write delivers everything or reports how much
// it managed; seeking a pipe fails with -1.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <instcompress/Stream.h>

namespace qvx::cli {

class FdStream final : public TStream {
public:
    // owns: close the descriptor when the stream goes away.
    FdStream(int fd, bool owns) noexcept : fd_(fd), owns_(owns) {}
    ~FdStream() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    int Fd() const noexcept { return fd_; }
    // Gives up ownership and returns the descriptor.
    int Release() noexcept;

private:
    int fd_;
    bool owns_;
};

// Standard output as a binary stream (not owned).
FdStream StandardOutput();

// A new file in the temporary directory that no name leads to: it goes away with the stream.
// prefix starts the name it has while it is created. Raises FileError when it cannot be made.
std::unique_ptr<FdStream> AnonymousTemporaryFile(const std::string& prefix);

}  // namespace qvx::cli
