// What the first bytes of an input say it is, and where a program image ends: PE by its headers
// and sections, ELF by what its headers describe, in either class and byte order; damaged or
// absurd headers give a fault or a bounded extent, never a read past the bytes given.
#include <gtest/gtest.h>

#include <functional>

#include "setup/ElfTestFiles.h"
#include "setup/PeTestFiles.h"
#include "setup/ProgramImage.h"

namespace qvx::cli::test {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

Bytes8 Of(const std::string& s) { return Bytes8(s.begin(), s.end()); }

TEST(ProgramImage, KindFromTheFirstBytes) {
    const struct {
        std::string Head;
        InputKind Kind;
    } cases[] = {
        {"SPIS\x1A"
         "LH5",
         InputKind::Archive},
        {"SPIS", InputKind::Other},
        {"SPIS!", InputKind::Other},
        {"MZ", InputKind::Program},
        {"\x7F"
         "ELF",
         InputKind::Program},
        {"\x7F"
         "EL",
         InputKind::Other},
        {"y\ny\n", InputKind::Other},
        {std::string(5, '\0'), InputKind::Other},
        {"", InputKind::Other},
    };
    for (const auto& c : cases) EXPECT_EQ(KindOf(Of(c.Head)), c.Kind) << c.Head;
}

TEST(ProgramImage, ExtentOfWindowsAndElfImages) {
    using Edit = std::function<void(Bytes8&)>;
    const auto elf32BigEndian = [](Bytes8& b) {
        // The same image as a 32-bit big-endian ELF file: header of 52 bytes, one program header.
        b.assign(52 + 32, 0);
        b[0] = 0x7F, b[1] = 'E', b[2] = 'L', b[3] = 'F', b[4] = 1, b[5] = 2;
        b[0x1F] = 52;               // e_phoff
        b[0x2B] = 32, b[0x2D] = 1;  // e_phentsize, e_phnum
        b[52 + 16 + 2] = 0x0B;      // p_filesz 0xB00 = 2816
    };
    const struct {
        const char* What;
        Bytes8 Head;
        Edit Change;
        std::int64_t End;
        const char* Fault;
    } cases[] = {
        {"PE: the end of its section", PeHeaderBytes({.ImageEnd = 5000}), {}, 5000, ""},
        {"PE without sections: its headers", PeHeaderBytes(),
         [](Bytes8& b) { PutLe(b, OptionalHeaderAt() + 60, 1024, 4); }, 1024, ""},
        {"PE, section table cut off", PeHeaderBytes({.ImageEnd = 5000}), [](Bytes8& b) { b.resize(b.size() - 1); }, -1,
         "the section table lies past the first bytes read"},
        {"PE, section past 2 GiB", PeHeaderBytes({.ImageEnd = 5000}),
         [](Bytes8& b) { PutLe(b, b.size() - 40 + 20, 0xFFFFFF00, 4); }, 0x7FFFFFFF, ""},
        {"MZ without PE", Of(std::string("MZ") + std::string(62, '\0')), {}, -1, "no PE signature"},
        {"ELF64: its segment", ElfHeaderBytes(1536), {}, 1536, ""},
        {"ELF64: the section headers further on", ElfHeaderBytes(1536),
         [](Bytes8& b) { PutLe(b, 40, 9000, 4), PutLe(b, 58, 64, 2), PutLe(b, 60, 10, 2); }, 9640, ""},
        {"ELF64: offsets near 2^64", ElfHeaderBytes(1536),
         [](Bytes8& b) {
             for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(40 + i)] = 0xFF;
             PutLe(b, 60, 3, 2);
         },
         0x7FFFFFFF, ""},
        {"ELF32 big-endian", {}, elf32BigEndian, 2816, ""},
        {"ELF, program headers cut off", ElfHeaderBytes(1536), [](Bytes8& b) { b.resize(100); }, -1,
         "the program headers lie past the first bytes read"},
        {"ELF, unknown class", ElfHeaderBytes(1536), [](Bytes8& b) { b[4] = 3; }, -1, "unknown ELF class"},
        {"ELF header cut short", ElfHeaderBytes(1536), [](Bytes8& b) { b.resize(40); }, -1,
         "the ELF header is cut short"},
        {"not a program", Of("SPIS\x1A"), {}, -1, "not a program image"},
    };
    for (const auto& c : cases) {
        Bytes8 head = c.Head;
        if (c.Change) c.Change(head);
        const ImageExtent extent = ProgramImageExtent(head);
        EXPECT_EQ(extent.End, c.End) << c.What;
        EXPECT_EQ(extent.Fault, c.Fault) << c.What;
    }
}

}  // namespace
}  // namespace qvx::cli::test
