// Hand-made PE headers for the tests: the few fields the PE reader looks at, laid out as a linker
// writes them, with the rest zero.
#pragma once

#include <cstdint>
#include <vector>

namespace qvx::cli::test {

struct PeShape {
    std::uint16_t Machine = 0x8664;
    bool Pe32Plus = true;
    std::uint32_t Directories = 16;  // NumberOfRvaAndSizes; the optional header holds as many entries
    std::uint32_t CertificateTableOffset = 0;
    std::uint32_t CertificateTableSize = 0;
    // Not 0: one section whose bytes run from the end of the headers to ImageEnd.
    std::uint32_t ImageEnd = 0;
};

inline constexpr std::uint32_t kPeOffset = 0x40;

inline void PutLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::size_t OptionalHeaderAt() { return kPeOffset + 24; }
inline std::size_t ChecksumFieldAt() { return OptionalHeaderAt() + 64; }
inline std::size_t SecurityEntryAt(bool pe32Plus) { return OptionalHeaderAt() + (pe32Plus ? 112 : 96) + 4 * 8; }

// The DOS header, the PE signature, the COFF header and the optional header with its directories
// (and the section table of the one section of an ImageEnd).
inline std::vector<std::uint8_t> PeHeaderBytes(const PeShape& shape = {}) {
    const std::uint32_t optionalSize = (shape.Pe32Plus ? 112u : 96u) + 8u * shape.Directories;
    const std::size_t headersEnd = OptionalHeaderAt() + optionalSize + (shape.ImageEnd != 0 ? 40 : 0);
    std::vector<std::uint8_t> b(headersEnd, 0);
    b[0] = 'M';
    b[1] = 'Z';
    PutLe(b, 0x3C, kPeOffset, 4);
    b[kPeOffset] = 'P';
    b[kPeOffset + 1] = 'E';
    PutLe(b, kPeOffset + 4, shape.Machine, 2);
    PutLe(b, kPeOffset + 4 + 16, optionalSize, 2);
    PutLe(b, OptionalHeaderAt(), shape.Pe32Plus ? 0x20B : 0x10B, 2);
    PutLe(b, OptionalHeaderAt() + (shape.Pe32Plus ? 108 : 92), shape.Directories, 4);
    if (shape.Directories > 4) {
        PutLe(b, SecurityEntryAt(shape.Pe32Plus), shape.CertificateTableOffset, 4);
        PutLe(b, SecurityEntryAt(shape.Pe32Plus) + 4, shape.CertificateTableSize, 4);
    }
    if (shape.ImageEnd != 0) {
        const auto headersSize = static_cast<std::uint32_t>(headersEnd);
        PutLe(b, kPeOffset + 4 + 2, 1, 2);                  // NumberOfSections
        PutLe(b, OptionalHeaderAt() + 60, headersSize, 4);  // SizeOfHeaders
        const std::size_t section = OptionalHeaderAt() + optionalSize;
        PutLe(b, section + 16, shape.ImageEnd - headersSize, 4);  // SizeOfRawData
        PutLe(b, section + 20, headersSize, 4);                   // PointerToRawData
    }
    return b;
}

}  // namespace qvx::cli::test
