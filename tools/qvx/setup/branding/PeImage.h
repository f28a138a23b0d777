// The layout of a Windows program as its headers describe it: the section table, the alignments,
// the data directories and where the header fields lie that a change of the layout updates.
//
//   COFF header (20 bytes)   u16 NumberOfSections at +2, u32 PointerToSymbolTable at +8,
//                            u32 NumberOfSymbols at +12, u16 SizeOfOptionalHeader at +16
//   optional header          u32 SizeOfInitializedData at +8, u32 SectionAlignment at +32,
//                            u32 FileAlignment at +36, u32 SizeOfImage at +56, u32 CheckSum at +64,
//                            the data directories (u32 RVA, u32 size) behind the count
//   section header (40 bytes) name[8], u32 VirtualSize, u32 VirtualAddress, u32 SizeOfRawData,
//                            u32 PointerToRawData at +20, u32 Characteristics at +36
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "setup/branding/LittleEndian.h"

namespace qvx::branding {

inline constexpr int kDirectoryResource = 2;
inline constexpr int kDirectorySecurity = 4;
inline constexpr int kDirectoryBaseRelocation = 5;
inline constexpr int kDirectoryDebug = 6;

struct Section {
    std::string Name;
    std::uint32_t VirtualSize = 0;
    std::uint32_t VirtualAddress = 0;
    std::uint32_t SizeOfRawData = 0;
    std::uint32_t PointerToRawData = 0;
    std::uint32_t Characteristics = 0;
    std::size_t HeaderOffset = 0;  // file offset of the section header

    // The size the section takes in memory (a VirtualSize of 0 means the raw size).
    std::uint32_t MemorySize() const noexcept { return VirtualSize != 0 ? VirtualSize : SizeOfRawData; }
    // The bytes of the section that the file holds.
    std::uint32_t FileSize() const noexcept { return std::min(SizeOfRawData, MemorySize()); }
};

struct DataDirectory {
    std::uint32_t Rva = 0;
    std::uint32_t Size = 0;
};

struct PeImage {
    std::size_t CoffHeader = 0;
    std::size_t OptionalHeader = 0;
    std::uint32_t SymbolTable = 0;
    std::uint32_t SymbolCount = 0;
    std::uint32_t SectionAlignment = 0;
    std::uint32_t FileAlignment = 0;
    std::uint32_t SizeOfImage = 0;
    std::uint32_t Checksum = 0;
    std::size_t DirectoryTable = 0;  // file offset of data directory 0
    std::vector<DataDirectory> Directories;
    std::vector<Section> Sections;  // in the order of the section table

    std::size_t SizeOfInitializedDataField() const noexcept { return OptionalHeader + 8; }
    std::size_t SizeOfImageField() const noexcept { return OptionalHeader + 56; }
    std::size_t ChecksumField() const noexcept { return OptionalHeader + 64; }
    DataDirectory Directory(int index) const noexcept {
        return static_cast<std::size_t>(index) < Directories.size() ? Directories[static_cast<std::size_t>(index)]
                                                                    : DataDirectory{};
    }
    // The section whose memory holds the RVA, or -1.
    int SectionAt(std::uint32_t rva) const noexcept;
};

// Reads the headers and the section table from the first bytes of a file (the whole image, or a
// head of it that holds the section table). Raises BrandingError when the file is not a Windows
// program or its headers do not hold together.
PeImage ReadPeImage(ByteSpan head);

}  // namespace qvx::branding
