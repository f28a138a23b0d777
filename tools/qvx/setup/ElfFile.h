// Reading where an ELF program's image ends, from the headers at the start of the file:
//
//   0x00  "\x7F" "ELF", class (1: 32-bit, 2: 64-bit), data (1: little-endian, 2: big-endian)
//         32-bit                              64-bit
//   e_phoff      u32 at 0x1C                  u64 at 0x20   program header table
//   e_shoff      u32 at 0x20                  u64 at 0x28   section header table
//   e_ehsize     u16 at 0x28                  u16 at 0x34
//   e_phentsize, e_phnum      u16 at 0x2A, 0x2C      u16 at 0x36, 0x38
//   e_shentsize, e_shnum      u16 at 0x2E, 0x30      u16 at 0x3A, 0x3C
//   program header: p_offset u32 at +4, p_filesz u32 at +16   (64-bit: u64 at +8, u64 at +32)
//
// The image is what these headers describe: the ELF header, both header tables and the file bytes
// of every segment; a linker puts the section contents before the section header table, which
// ends the file. Every field is read with its bounds checked, so any bytes are a valid input.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qvx::elf {

struct ElfImage {
    bool IsElf = false;     // the bytes start with the ELF magic
    std::int64_t End = -1;  // where the image ends; -1 with Fault when the headers cannot say
    std::string Fault;
};

// Reads the headers from the first bytes of a file (the program header table must lie within).
ElfImage ReadElfImage(std::span<const std::uint8_t> head);

}  // namespace qvx::elf
