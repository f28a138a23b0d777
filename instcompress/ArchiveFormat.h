// The archive container format: a 21-byte archive header, then entries one after another, each a
// 25-byte entry header, the entry name and the entry's stored bytes. All integers are
// little-endian; the records are packed. Encode/Decode move the records byte for byte, whatever the
// host's byte order and struct layout.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qvx {

// Compression method indices, as stored in EntryHeader::MethodIndex. Values 5..255 are undefined.
enum CompressMethod : std::uint8_t { cmNON = 0, cmRLE = 1, cmLZH = 2, cmCUS = 3, cmLH5 = 4 };

inline constexpr std::array<std::string_view, 5> MethodIds = {"NON", "RLE", "LZH", "CUS", "LH5"};

inline constexpr std::array<std::uint8_t, 5> kArchiveMagic = {'S', 'P', 'I', 'S', 0x1A};
inline constexpr std::uint8_t caMulti = 1;

struct ArchiveHeader {
    static constexpr std::size_t kSize = 21;

    std::array<std::uint8_t, 5> Magic{};
    std::array<char, 3> MethodId{};
    std::int32_t TotalSize = 0;
    std::uint8_t ArchiveType = 0;
    std::uint32_t Reserved1 = 0;
    std::uint32_t Reserved2 = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static ArchiveHeader Decode(const std::array<std::uint8_t, kSize>& bytes);
};

struct EntryHeader {
    static constexpr std::size_t kSize = 25;

    std::int16_t NameLength = 0;
    std::uint16_t FileTime = 0;
    std::uint16_t FileDate = 0;
    std::uint16_t Attributes = 0;
    std::int32_t ExpandedSize = 0;
    std::int32_t StoredSize = 0;
    std::uint8_t MethodIndex = 0;
    std::uint32_t Checksum = 0;
    std::uint32_t EntryReserved = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    static EntryHeader Decode(const std::array<std::uint8_t, kSize>& bytes);
};

// Name of a method index for display: its identifier, or "#<n>" for an undefined index.
std::string_view MethodName(std::uint8_t methodIndex, char (&scratch)[8]);

// Sum of the bytes, each 0..255, in 32 bits that wrap: the entry checksum.
std::uint32_t ByteSum(const std::uint8_t* data, std::size_t size, std::uint32_t start = 0) noexcept;

}  // namespace qvx
