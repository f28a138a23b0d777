#include "setup/branding/PeImage.h"

#include "setup/branding/BrandingError.h"
#include "setup/PeFile.h"

namespace qvx::branding {

namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kMaxSections = 96;

}  // namespace

int PeImage::SectionAt(std::uint32_t rva) const noexcept {
    for (std::size_t i = 0; i < Sections.size(); ++i) {
        const Section& s = Sections[i];
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.MemorySize()) return static_cast<int>(i);
    }
    return -1;
}

PeImage ReadPeImage(ByteSpan head) {
    const pe::PeReadResult headers = pe::ReadPeHeaders(head);
    if (headers.Kind == pe::PeKind::NotPe) throw BrandingError("not a Windows program");
    if (headers.Kind == pe::PeKind::Malformed) throw BrandingError(headers.Fault);
    const ByteReader r(head);
    PeImage image;
    image.CoffHeader = r.U32(0x3C) + std::size_t{4};
    image.OptionalHeader = image.CoffHeader + 20;
    const std::uint32_t sectionCount = r.U16(image.CoffHeader + 2);
    image.SymbolTable = r.U32(image.CoffHeader + 8);
    image.SymbolCount = r.U32(image.CoffHeader + 12);
    const std::uint32_t optionalSize = r.U16(image.CoffHeader + 16);
    const std::uint64_t directoryCountField = image.OptionalHeader + (headers.Headers.Pe32Plus ? 108 : 92);
    // ReadPeHeaders checked that the optional header lies within head and holds the checksum; one
    // that ends before the data directories has none.
    image.SectionAlignment = r.U32(image.OptionalHeader + 32);
    image.FileAlignment = r.U32(image.OptionalHeader + 36);
    image.SizeOfImage = r.U32(image.OptionalHeader + 56);
    image.Checksum = headers.Headers.Checksum;
    image.DirectoryTable = directoryCountField + 4;
    const std::uint64_t optionalEnd = image.OptionalHeader + optionalSize;
    const std::uint64_t room = optionalEnd >= image.DirectoryTable ? (optionalEnd - image.DirectoryTable) / 8 : 0;
    const std::uint64_t directoryCount = room == 0 ? 0 : std::min<std::uint64_t>(r.U32(directoryCountField), room);
    for (std::uint64_t i = 0; i < directoryCount; ++i)
        image.Directories.push_back({r.U32(image.DirectoryTable + 8 * i), r.U32(image.DirectoryTable + 8 * i + 4)});

    if (sectionCount > kMaxSections)
        throw BrandingError(std::to_string(sectionCount) + " sections are more than a program has");
    const std::uint64_t table = image.OptionalHeader + optionalSize;
    if (!r.Has(table, std::uint64_t{sectionCount} * kSectionHeaderSize))
        throw BrandingError("the section table is cut short");
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + std::uint64_t{i} * kSectionHeaderSize;
        Section s;
        for (std::uint64_t c = 0; c < 8 && r.U8(at + c) != 0; ++c) s.Name += static_cast<char>(r.U8(at + c));
        s.VirtualSize = r.U32(at + 8);
        s.VirtualAddress = r.U32(at + 12);
        s.SizeOfRawData = r.U32(at + 16);
        s.PointerToRawData = r.U32(at + 20);
        s.Characteristics = r.U32(at + 36);
        s.HeaderOffset = at;
        image.Sections.push_back(std::move(s));
    }
    return image;
}

}  // namespace qvx::branding
