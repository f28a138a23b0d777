// The archive container format: a 21-byte archive header, then entries one after another, each a
// 25-byte entry header, the entry name and the entry's stored bytes. All integers are
// little-endian; the records are packed. Encode/Decode move the records byte for byte, whatever the
// host's byte order and struct layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CompressMethod.h"
#include "Export.h"

namespace qvx {

// The first five bytes of every archive: "SPIS" and 0x1A.
inline constexpr std::array<std::uint8_t, 5> kArchiveMagic = {'S', 'P', 'I', 'S', 0x1A};
// The one archive type readers accept.
inline constexpr std::uint8_t caMulti = 1;

// The 21-byte header at the start of an archive. TotalSize is the sum of the expanded sizes of
// all entries: readers walk entries only while the sum of those already walked is below it.
struct INSTCOMPRESS_API ArchiveHeader {
    static constexpr std::size_t kSize = 21;

    std::array<std::uint8_t, 5> Magic{};
    std::array<char, 3> MethodId{};
    std::int32_t TotalSize = 0;
    std::uint8_t ArchiveType = 0;
    std::uint32_t Reserved1 = 0;
    std::uint32_t Reserved2 = 0;

    // The record as it lies in the file, and back; Decode accepts any bytes.
    std::array<std::uint8_t, kSize> Encode() const;
    static ArchiveHeader Decode(const std::array<std::uint8_t, kSize>& bytes);
};

// A header with the magic, the first three characters of methodId (missing ones as 0 bytes), the
// total size and the archive type; both reserved fields 0.
INSTCOMPRESS_API ArchiveHeader MakeArchiveHeader(std::string_view methodId, std::int32_t totalSize,
                                                 std::uint8_t archiveType = caMulti) noexcept;

// The 25-byte header in front of each entry, followed by the name (NameLength bytes, "\" as the
// separator) and the entry's stored bytes (StoredSize bytes). A NameLength with its top bit set
// makes the entry unreadable.
struct INSTCOMPRESS_API EntryHeader {
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

    // The method the stored bytes use (any byte converts; see IsDefinedMethod).
    CompressMethod Method() const noexcept { return MethodFromIndex(MethodIndex); }

    // The record as it lies in the file, and back; Decode accepts any bytes.
    std::array<std::uint8_t, kSize> Encode() const;
    static EntryHeader Decode(const std::array<std::uint8_t, kSize>& bytes);
};

// Sum of the bytes, each 0..255, in 32 bits that wrap, added to start: the entry checksum.
INSTCOMPRESS_API std::uint32_t ByteSum(const std::uint8_t* data, std::size_t size, std::uint32_t start = 0) noexcept;

}  // namespace qvx
