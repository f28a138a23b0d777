#include "setup/branding/ResourceSection.h"

#include <algorithm>
#include <optional>

#include <instcompress/MemoryStream.h>

#include "setup/branding/BrandingError.h"
#include "setup/PeFile.h"

namespace qvx::branding {

namespace {

constexpr std::uint32_t kInitializedData = 0x00000040;  // IMAGE_SCN_CNT_INITIALIZED_DATA
constexpr std::uint32_t kMinSectionAlignment = 0x1000;
constexpr std::size_t kDebugEntrySize = 28;
constexpr std::size_t kMaxResourceSection = 256u << 20;

const char* DirectoryName(std::size_t index) {
    static const char* const names[] = {
        "export",         "import",       "resource",       "exception", "certificate",        "base relocation",
        "debug",          "architecture", "global pointer", "TLS",       "load configuration", "bound import",
        "import address", "delay import", "CLR runtime",    "reserved"};
    return index < std::size(names) ? names[index] : "unnamed";
}

bool PowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::uint64_t RawEnd(const Section& s) { return std::uint64_t{s.PointerToRawData} + s.SizeOfRawData; }
std::uint64_t MemoryEnd(const Section& s) { return std::uint64_t{s.VirtualAddress} + s.MemorySize(); }

// The file offset of an RVA inside a section's file data, or nothing.
std::optional<std::uint64_t> FileOffsetOf(const PeImage& image, std::uint32_t rva, std::uint32_t size) {
    const int i = image.SectionAt(rva);
    if (i < 0) return std::nullopt;
    const Section& s = image.Sections[static_cast<std::size_t>(i)];
    if (std::uint64_t{rva - s.VirtualAddress} + size > s.FileSize()) return std::nullopt;
    return std::uint64_t{s.PointerToRawData} + (rva - s.VirtualAddress);
}

// The checks of a layout the rewrite handles; returns the index of the base relocation section
// behind the resources, or -1 when the resources come last.
int CheckLayout(ByteSpan bytes, const PeImage& image, const ResourceLocation& where) {
    const Section& rsrc = image.Sections[static_cast<std::size_t>(where.Section)];
    if (image.Directory(kDirectorySecurity).Size != 0)
        throw BrandingError("the launcher is signed; brand the unsigned launcher and sign the setup file afterwards");
    if (image.SymbolTable != 0 || image.SymbolCount != 0)
        throw BrandingError("the launcher carries COFF symbols; strip it first");
    if (!PowerOfTwo(image.FileAlignment) || !PowerOfTwo(image.SectionAlignment) ||
        image.FileAlignment > image.SectionAlignment || image.SectionAlignment < kMinSectionAlignment)
        throw BrandingError("the launcher's section alignment " + std::to_string(image.SectionAlignment) +
                            " and file alignment " + std::to_string(image.FileAlignment) + " are not handled");
    if (where.Rva != rsrc.VirtualAddress) throw BrandingError("the resource directory does not start its section");
    if (rsrc.PointerToRawData % image.FileAlignment != 0 || rsrc.SizeOfRawData % image.FileAlignment != 0)
        throw BrandingError("the resource section's file data is not aligned");

    const DataDirectory relocations = image.Directory(kDirectoryBaseRelocation);
    int relocationSection = -1;
    std::uint64_t fileEnd = RawEnd(rsrc);
    for (std::size_t i = 0; i < image.Sections.size(); ++i) {
        const Section& s = image.Sections[i];
        if (static_cast<int>(i) == where.Section) continue;
        const bool behindInMemory = s.VirtualAddress >= rsrc.VirtualAddress;
        const bool behindInFile = s.SizeOfRawData != 0 && s.PointerToRawData >= rsrc.PointerToRawData;
        if (!behindInMemory && !behindInFile) {
            if (MemoryEnd(s) > rsrc.VirtualAddress || (s.SizeOfRawData != 0 && RawEnd(s) > rsrc.PointerToRawData))
                throw BrandingError("section " + s.Name + " overlaps the resource section");
            continue;
        }
        if (relocationSection >= 0 || relocations.Size == 0 || relocations.Rva != s.VirtualAddress || !behindInMemory ||
            !behindInFile || s.PointerToRawData < RawEnd(rsrc) || s.VirtualAddress < MemoryEnd(rsrc))
            throw BrandingError("section " + (s.Name.empty() ? std::string("(unnamed)") : s.Name) +
                                " follows the resource section; only the base relocations may");
        if (s.PointerToRawData % image.FileAlignment != 0 || s.VirtualAddress % image.SectionAlignment != 0)
            throw BrandingError("the base relocation section is not aligned");
        relocationSection = static_cast<int>(i);
        fileEnd = RawEnd(s);
    }
    if (fileEnd != bytes.size())
        throw BrandingError(fileEnd > bytes.size()
                                ? "the launcher is cut short: its last section runs past the end of the file"
                                : std::to_string(bytes.size() - fileEnd) +
                                      (bytes.size() - fileEnd == 1 ? " byte follows" : " bytes follow") +
                                      " the launcher's last section");

    // Nothing in front of the resources may point at them or behind them.
    for (std::size_t d = 0; d < image.Directories.size(); ++d) {
        const DataDirectory dir = image.Directories[d];
        if (static_cast<int>(d) == kDirectoryResource || static_cast<int>(d) == kDirectorySecurity ||
            static_cast<int>(d) == kDirectoryBaseRelocation || (dir.Rva == 0 && dir.Size == 0))
            continue;
        if (std::uint64_t{dir.Rva} + dir.Size > rsrc.VirtualAddress)
            throw BrandingError(std::string("the ") + DirectoryName(d) + " directory lies in or behind the resources");
    }
    if (const DataDirectory debug = image.Directory(kDirectoryDebug); debug.Size != 0) {
        const auto at = FileOffsetOf(image, debug.Rva, debug.Size);
        if (!at) throw BrandingError("the debug directory lies outside the file");
        const ByteReader r(bytes);
        for (std::uint64_t e = 0; e + kDebugEntrySize <= debug.Size; e += kDebugEntrySize)
            if (r.U32(*at + e + 24) >= rsrc.PointerToRawData)
                throw BrandingError("debug data lies behind the resources");
    }
    if (relocations.Size != 0) {
        if (relocationSection < 0) throw BrandingError("the base relocations lie in front of the resources");
        const auto at = FileOffsetOf(image, relocations.Rva, relocations.Size);
        if (!at) throw BrandingError("the base relocations lie outside the file");
        const ByteReader r(bytes);
        for (std::uint64_t block = 0; block < relocations.Size;) {
            if (block + 8 > relocations.Size)
                throw BrandingError("the base relocations are damaged: a block is cut short");
            const std::uint32_t page = r.U32(*at + block);
            const std::uint32_t size = r.U32(*at + block + 4);
            if (size < 8 || size % 2 != 0 || block + size > relocations.Size)
                throw BrandingError("the base relocations are damaged: a block of " + std::to_string(size) + " bytes");
            for (std::uint64_t e = 8; e < size; e += 2) {
                const std::uint32_t entry = r.U16(*at + block + e);
                const std::uint32_t type = entry >> 12;  // 0 pads a block; 10 patches 8 bytes, the others at most 4
                if (type != 0 && std::uint64_t{page} + (entry & 0xFFF) + (type == 10 ? 8 : 4) > rsrc.VirtualAddress)
                    throw BrandingError("a base relocation points into the resources or behind them");
            }
            block += size;
        }
    }
    return relocationSection;
}

}  // namespace

ResourceLocation LocateResources(const PeImage& image) {
    ResourceLocation where;
    const DataDirectory dir = image.Directory(kDirectoryResource);
    if (dir.Rva == 0 && dir.Size == 0) return where;
    where.Present = true;
    where.Rva = dir.Rva;
    where.Section = image.SectionAt(dir.Rva);
    if (where.Section < 0) throw BrandingError("the resource directory lies in no section");
    const Section& s = image.Sections[static_cast<std::size_t>(where.Section)];
    const std::uint32_t into = dir.Rva - s.VirtualAddress;
    if (into >= s.FileSize()) throw BrandingError("the resource directory lies outside its section's file data");
    where.FileOffset = s.PointerToRawData + into;
    where.FileSize = s.FileSize() - into;
    return where;
}

ResourceSet ReadResources(ByteSpan image) {
    const PeImage pe = ReadPeImage(image);
    const ResourceLocation where = LocateResources(pe);
    if (!where.Present) return {};
    if (std::uint64_t{where.FileOffset} + where.FileSize > image.size())
        throw BrandingError("the resource section runs past the end of the file");
    return ParseResourceDirectory(image.subspan(where.FileOffset, where.FileSize), where.Rva);
}

Bytes ReplaceResources(ByteSpan bytes, const ResourceSet& resources) {
    const PeImage image = ReadPeImage(bytes);
    const ResourceLocation where = LocateResources(image);
    if (!where.Present) throw BrandingError("the launcher has no resource section");
    const int relocationIndex = CheckLayout(bytes, image, where);
    const Section& rsrc = image.Sections[static_cast<std::size_t>(where.Section)];

    const Bytes directory = BuildResourceDirectory(resources, rsrc.VirtualAddress);
    const auto newRaw = static_cast<std::uint32_t>(AlignUp(directory.size(), image.FileAlignment));
    const auto rawShift = static_cast<std::int64_t>(newRaw) - rsrc.SizeOfRawData;
    const auto memoryShift =
        static_cast<std::int64_t>(AlignUp(rsrc.VirtualAddress + directory.size(), image.SectionAlignment)) -
        static_cast<std::int64_t>(AlignUp(MemoryEnd(rsrc), image.SectionAlignment));
    if (directory.size() > kMaxResourceSection) throw BrandingError("the resources are larger than 256 MB");

    Bytes out(bytes.begin(), bytes.begin() + rsrc.PointerToRawData);
    out.insert(out.end(), directory.begin(), directory.end());
    out.resize(std::size_t{rsrc.PointerToRawData} + newRaw, 0);
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(RawEnd(rsrc)), bytes.end());

    Put32(out, rsrc.HeaderOffset + 8, static_cast<std::uint32_t>(directory.size()));
    Put32(out, rsrc.HeaderOffset + 16, newRaw);
    Put32(out, image.DirectoryTable + 8 * kDirectoryResource + 4, static_cast<std::uint32_t>(directory.size()));
    std::uint64_t memoryEnd = 0;
    for (std::size_t i = 0; i < image.Sections.size(); ++i) {
        Section s = image.Sections[i];
        if (static_cast<int>(i) == where.Section) s.VirtualSize = static_cast<std::uint32_t>(directory.size());
        if (static_cast<int>(i) == relocationIndex) {
            s.VirtualAddress = static_cast<std::uint32_t>(s.VirtualAddress + memoryShift);
            s.PointerToRawData = static_cast<std::uint32_t>(s.PointerToRawData + rawShift);
            Put32(out, s.HeaderOffset + 12, s.VirtualAddress);
            Put32(out, s.HeaderOffset + 20, s.PointerToRawData);
            Put32(out, image.DirectoryTable + 8 * kDirectoryBaseRelocation, s.VirtualAddress);
        }
        memoryEnd = std::max(memoryEnd, MemoryEnd(s));
    }
    if (AlignUp(memoryEnd, image.SectionAlignment) > 0xFFFFFFFFu)
        throw BrandingError("the image would be larger than 4 GB");
    Put32(out, image.SizeOfImageField(), static_cast<std::uint32_t>(AlignUp(memoryEnd, image.SectionAlignment)));
    if ((rsrc.Characteristics & kInitializedData) != 0) {
        const std::uint32_t initialized = ByteReader(bytes).U32(image.SizeOfInitializedDataField());
        Put32(out, image.SizeOfInitializedDataField(), static_cast<std::uint32_t>(initialized + rawShift));
    }
    if (image.Checksum != 0) {
        const auto field = static_cast<std::uint32_t>(image.ChecksumField());
        TMemoryStream stream(std::move(out));
        const std::uint32_t checksum = pe::PeChecksum(stream, field);
        out = stream.TakeData();
        Put32(out, field, checksum);
    }
    return out;
}

}  // namespace qvx::branding
