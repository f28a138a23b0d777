// A small Windows program for the branding tests, laid out as a linker writes one: PE32+ headers,
// .text (holding the launcher's unpatched size marker) at 0x1000, .rsrc at 0x2000 and, unless left
// out, .reloc behind it with one block of relocations in .text; section alignment 0x1000, file
// alignment 0x200, the checksum set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <instcompress/MemoryStream.h>

#include "setup/PeFile.h"
#include "setup/PeTestFiles.h"
#include "setup/branding/ResourceDirectory.h"

namespace qvx::cli::test {

struct ImageShape {
    bool Relocations = true;
    std::uint32_t RelocationTarget = 0x1010;  // the RVA the one relocation patches
};

inline constexpr std::size_t kSectionTable = 0x40 + 24 + 240;

inline std::vector<std::uint8_t> MakeImage(const branding::ResourceSet& resources, const ImageShape& shape = {}) {
    std::vector<std::uint8_t> b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    PutLe(b, 0x3C, 0x40, 4);
    b[0x40] = 'P';
    b[0x41] = 'E';
    const std::size_t coff = 0x44, opt = 0x58;
    const std::uint32_t sections = shape.Relocations ? 3 : 2;
    PutLe(b, coff, 0x8664, 2);
    PutLe(b, coff + 2, sections, 2);
    PutLe(b, coff + 16, 240, 2);
    PutLe(b, opt, 0x20B, 2);
    PutLe(b, opt + 32, 0x1000, 4);
    PutLe(b, opt + 36, 0x200, 4);
    PutLe(b, opt + 60, 0x400, 4);
    PutLe(b, opt + 108, 16, 4);
    const auto section = [&](std::uint32_t i, const char* name, std::uint32_t va, std::uint32_t vsize,
                             std::uint32_t raw, std::uint32_t rawSize, std::uint32_t flags) {
        const std::size_t at = kSectionTable + 40 * i;
        for (std::size_t c = 0; name[c] != 0; ++c) b[at + c] = static_cast<std::uint8_t>(name[c]);
        PutLe(b, at + 8, vsize, 4);
        PutLe(b, at + 12, va, 4);
        PutLe(b, at + 16, rawSize, 4);
        PutLe(b, at + 20, raw, 4);
        PutLe(b, at + 36, flags, 4);
    };
    // .text: the marker and some code-like bytes.
    b.resize(0x600, 0xC3);
    const std::string marker = std::string("QVX_") + "SIZE" + "XXXX";
    std::copy(marker.begin(), marker.end(), b.begin() + 0x420);
    section(0, ".text", 0x1000, 0x200, 0x400, 0x200, 0x60000020);
    // .rsrc
    const std::vector<std::uint8_t> rsrc = branding::BuildResourceDirectory(resources, 0x2000);
    const std::uint32_t rsrcRaw = static_cast<std::uint32_t>((rsrc.size() + 0x1FF) / 0x200 * 0x200);
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    b.resize(0x600 + rsrcRaw, 0);
    section(1, ".rsrc", 0x2000, static_cast<std::uint32_t>(rsrc.size()), 0x600, rsrcRaw, 0x40000040);
    PutLe(b, opt + 112 + 8 * 2, 0x2000, 4);
    PutLe(b, opt + 112 + 8 * 2 + 4, static_cast<std::uint32_t>(rsrc.size()), 4);
    std::uint32_t end = 0x2000 + static_cast<std::uint32_t>((rsrc.size() + 0xFFF) / 0x1000 * 0x1000);
    std::uint32_t initialized = rsrcRaw;
    if (shape.Relocations) {
        const std::uint32_t page = shape.RelocationTarget & ~0xFFFu;
        const std::size_t at = b.size();
        b.resize(at + 0x200, 0);
        PutLe(b, at, page, 4);
        PutLe(b, at + 4, 12, 4);
        PutLe(b, at + 8, (10u << 12) | (shape.RelocationTarget & 0xFFF), 2);
        section(2, ".reloc", end, 12, static_cast<std::uint32_t>(at), 0x200, 0x42000040);
        PutLe(b, opt + 112 + 8 * 5, end, 4);
        PutLe(b, opt + 112 + 8 * 5 + 4, 12, 4);
        end += 0x1000;
        initialized += 0x200;
    }
    PutLe(b, opt + 8, initialized, 4);
    PutLe(b, opt + 56, end, 4);
    TMemoryStream stream(b);
    PutLe(b, opt + 64, pe::PeChecksum(stream, opt + 64), 4);
    return b;
}

}  // namespace qvx::cli::test
