// ReadAhead: a seekable stream read through a buffer, so that the many small reads of an archive
// walk (each entry's 25-byte header, its name, a position query) cost no system call each. Reads
// are served from up to 64 KB fetched at once; a seek within the buffered bytes moves in the
// buffer, any other seek drops it and moves the underlying stream. Read-only: Write() writes
// nothing. The underlying stream is borrowed and must not be used meanwhile.
#pragma once

#include <cstdint>
#include <vector>

#include <instcompress/Stream.h>

namespace qvx::cli {

class ReadAhead final : public TStream {
public:
    explicit ReadAhead(TStream& source);

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return source_.Size(); }

private:
    TStream& source_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = 0;  // the source position of buffer_[0]
    std::size_t used_ = 0;    // bytes of buffer_ read so far
    std::size_t filled_ = 0;  // bytes in buffer_
};

}  // namespace qvx::cli
