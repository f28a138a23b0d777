// Shared pieces of the fuzz targets: bounded output, input splitting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include <instcompress/InstCompress.h>

namespace qvx::fuzz {

// Largest expanded size a fuzz input may ask for, so that every run stays fast: eight LH5 windows,
// sixteen LZH windows, several LH5 blocks.
inline constexpr std::int32_t kMaxExpandedSize = 1 << 16;

// A sink that accepts a bounded number of bytes and then refuses further writes (WriteBuffer then
// raises EWriteError), so that a crafted size cannot make a run write gigabytes.
class BoundedSink final : public TStream {
public:
    explicit BoundedSink(std::int64_t limit) : limit_(limit) {}
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t count) override {
        if (count <= 0 || written_ + count > limit_) return 0;
        written_ += count;
        return count;
    }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return written_; }
    std::int64_t Size() override { return written_; }

private:
    std::int64_t limit_;
    std::int64_t written_ = 0;
};

// Reads a little-endian 32-bit value from the front of the input and removes it.
inline std::uint32_t TakeU32(std::span<const std::uint8_t>& input) {
    std::uint8_t b[4] = {};
    const std::size_t n = input.size() < 4 ? input.size() : 4;
    std::memcpy(b, input.data(), n);
    input = input.subspan(n);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

}  // namespace qvx::fuzz
