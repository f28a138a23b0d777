// Little-endian loads and stores of 16- and 32-bit values, byte by byte, so they need no alignment
// and give the same result on every host. The archive header, the setup file's length fields and
// the PE format all store their numbers this way.
#pragma once

#include <cstdint>

namespace qvx {

[[nodiscard]] constexpr std::uint16_t LoadLe16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

[[nodiscard]] constexpr std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr void StoreLe16(std::uint8_t* p, std::uint16_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr void StoreLe32(std::uint8_t* p, std::uint32_t v) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace qvx
