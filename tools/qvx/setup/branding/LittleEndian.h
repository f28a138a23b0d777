// Little-endian fields of byte buffers, as the Windows file formats store them: reads that say
// whether the bytes are there, and writes that append to or patch a byte vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvx::branding {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Reads fields of a span; callers check Has before every read.
class ByteReader {
public:
    explicit ByteReader(ByteSpan bytes) noexcept : bytes_(bytes) {}
    std::size_t Size() const noexcept { return bytes_.size(); }
    bool Has(std::uint64_t offset, std::uint64_t count) const noexcept {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint8_t U8(std::uint64_t at) const noexcept { return bytes_[at]; }
    std::uint16_t U16(std::uint64_t at) const noexcept {
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::uint32_t U32(std::uint64_t at) const noexcept {
        return static_cast<std::uint32_t>(U16(at)) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    ByteSpan Slice(std::uint64_t at, std::uint64_t count) const noexcept { return bytes_.subspan(at, count); }

private:
    ByteSpan bytes_;
};

inline void Put16(Bytes& b, std::size_t at, std::uint32_t value) {
    b.at(at) = static_cast<std::uint8_t>(value);
    b.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t value) {
    Put16(b, at, value & 0xFFFF);
    Put16(b, at + 2, value >> 16);
}
inline void Append16(Bytes& b, std::uint32_t value) {
    b.push_back(static_cast<std::uint8_t>(value));
    b.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void Append32(Bytes& b, std::uint32_t value) {
    Append16(b, value & 0xFFFF);
    Append16(b, value >> 16);
}
// Appends zero bytes up to the next multiple of alignment (a power of two).
inline void PadTo(Bytes& b, std::size_t alignment) { b.resize((b.size() + alignment - 1) & ~(alignment - 1), 0); }

inline constexpr std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) noexcept {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace qvx::branding
