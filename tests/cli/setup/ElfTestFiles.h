// A hand-made ELF header for the tests: a 64-bit little-endian program whose one loadable segment
// covers the file's first imageEnd bytes, the rest of the fields zero.
#pragma once

#include <cstdint>
#include <vector>

namespace qvx::cli::test {

inline std::vector<std::uint8_t> ElfHeaderBytes(std::uint64_t imageEnd) {
    std::vector<std::uint8_t> b(64 + 56, 0);
    const auto put = [&b](std::size_t at, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
    };
    b[0] = 0x7F;
    b[1] = 'E';
    b[2] = 'L';
    b[3] = 'F';
    b[4] = 2;  // 64-bit
    b[5] = 1;  // little-endian
    b[6] = 1;
    put(16, 2, 2);              // an executable
    put(18, 0x3E, 2);           // x86-64
    put(32, 64, 8);             // e_phoff
    put(52, 64, 2);             // e_ehsize
    put(54, 56, 2);             // e_phentsize
    put(56, 1, 2);              // e_phnum
    put(64, 1, 4);              // PT_LOAD
    put(64 + 32, imageEnd, 8);  // p_filesz
    put(64 + 40, imageEnd, 8);  // p_memsz
    return b;
}

}  // namespace qvx::cli::test
