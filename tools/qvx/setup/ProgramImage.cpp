#include "setup/ProgramImage.h"

#include <algorithm>

#include "archive/ArchiveMagic.h"
#include "setup/ElfFile.h"
#include "setup/PeFile.h"

namespace qvx::cli {

namespace {

constexpr std::int64_t kLargestOffset = 0x7FFFFFFF;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

InputKind KindOf(std::span<const std::uint8_t> first) {
    if (StartsWithArchiveMagic(first)) return InputKind::Archive;
    if (StartsWith(first, "MZ") || StartsWith(first,
                                              "\x7F"
                                              "ELF"))
        return InputKind::Program;
    return InputKind::Other;
}

ImageExtent ProgramImageExtent(std::span<const std::uint8_t> head) {
    ImageExtent extent;
    if (StartsWith(head, "MZ")) {
        const pe::PeReadResult pe = pe::ReadPeHeaders(head);
        if (pe.Kind != pe::PeKind::Pe)
            extent.Fault = pe.Fault.empty() ? "not a Windows program" : pe.Fault;
        else if (pe.Headers.ImageEnd < 0)
            extent.Fault = "the section table lies past the first bytes read";
        else
            extent.End = std::min(pe.Headers.ImageEnd, kLargestOffset);
        return extent;
    }
    const elf::ElfImage elf = elf::ReadElfImage(head);
    if (!elf.IsElf)
        extent.Fault = "not a program image";
    else if (elf.End < 0)
        extent.Fault = elf.Fault;
    else
        extent.End = std::min(elf.End, kLargestOffset);
    return extent;
}

}  // namespace qvx::cli
