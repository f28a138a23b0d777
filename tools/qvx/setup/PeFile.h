// Reading the headers of a Windows program (a PE file): the machine it is built for, the header
// checksum, and the certificate table an Authenticode signature appends to the file.
//
//   offset 0x00       "MZ"                          (DOS header, 64 bytes)
//   offset 0x3C       u32 e_lfanew: where the PE signature lies
//   e_lfanew          "PE\0\0"
//   e_lfanew + 4      COFF header, 20 bytes: u16 Machine at +0, u16 NumberOfSections at +2,
//                     u16 SizeOfOptionalHeader at +16
//   e_lfanew + 24     optional header: u16 Magic (0x10B PE32, 0x20B PE32+), u32 SizeOfHeaders at
//                     +60, u32 CheckSum at +64, u32 NumberOfRvaAndSizes at +92 (PE32+: +108), then
//                     the data directories (8 bytes each: u32 address, u32 size) at +96 (PE32+: +112)
//   behind it         the section table, 40 bytes per section: u32 SizeOfRawData at +16 and
//                     u32 PointerToRawData at +20 (where the section's bytes lie in the file)
//
// Data directory 4 is the certificate table. Unlike every other directory its address is a file
// offset, not an address in the loaded image: the table is not loaded, it lies behind everything
// else in the file. Every field is read with its bounds checked, so any bytes are a valid input.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <instcompress/Stream.h>

namespace qvx::pe {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// How many bytes from the start of a file ReadPeHeaders is given: the headers of any PE file a
// linker writes lie well within them.
inline constexpr std::size_t kHeadSize = 65536;

struct PeHeaders {
    std::uint16_t Machine = 0;
    bool Pe32Plus = false;
    std::uint32_t ChecksumOffset = 0;  // file offset of the optional header's CheckSum field
    std::uint32_t Checksum = 0;
    // File offset of the certificate table's directory entry; 0 when the header has no such entry.
    std::uint32_t SecurityEntryOffset = 0;
    std::uint32_t CertificateTableOffset = 0;  // a file offset; 0 with a size of 0 when unsigned
    std::uint32_t CertificateTableSize = 0;
    // Where the image ends in the file: the end of its headers or of its last section's bytes,
    // whichever lies further; -1 when the section table does not lie within the bytes read.
    std::int64_t ImageEnd = -1;

    bool HasCertificateTable() const noexcept { return CertificateTableSize != 0; }
};

enum class PeKind {
    NotPe,      // the file does not start with "MZ"
    Malformed,  // it starts with "MZ" but carries no readable PE header
    Pe,
};

struct PeReadResult {
    PeKind Kind = PeKind::NotPe;
    PeHeaders Headers;  // filled when Kind is Pe
    std::string Fault;  // what is wrong, when Kind is Malformed
};

// Reads the headers from the first bytes of a file (give it up to kHeadSize of them).
PeReadResult ReadPeHeaders(std::span<const std::uint8_t> head);

// The first kHeadSize bytes of a stream (fewer when it is shorter); the stream is left anywhere.
std::vector<std::uint8_t> ReadHead(TStream& file);

// The same from the start of a stream; the stream is left anywhere.
PeReadResult ReadPeHeaders(TStream& file);

// A readable name for a machine type ("x86-64", "x86", "ARM64"), or its value in hexadecimal.
std::string MachineName(std::uint16_t machine);

// The PE header checksum of a whole file: the file taken as little-endian 16-bit words (an odd last
// byte padded with 0), the four bytes of the CheckSum field counted as 0, added with the carry
// folded back into the low 16 bits after each word, then the file's length added.
std::uint32_t PeChecksum(TStream& file, std::uint32_t checksumOffset);

}  // namespace qvx::pe
