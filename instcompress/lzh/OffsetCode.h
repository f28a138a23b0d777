// The fixed prefix code of the upper six bits of an LZH match offset (0..63). Values get codes in
// increasing order with non-decreasing lengths (one of 3 bits, three of 4, eight of 5, twelve of 6,
// twenty-four of 7 and sixteen of 8), each the previous code plus one at its length, so the code
// space is filled exactly. Codes are kept left-aligned in 8 bits. The lower six offset bits follow
// the code verbatim.
#pragma once

#include <array>
#include <cstdint>

namespace qvx::lzh {

namespace offsetcode_detail {

constexpr std::array<std::uint8_t, 64> MakeLengths() {
    std::array<std::uint8_t, 64> len{};
    constexpr int kCounts[] = {1, 3, 8, 12, 24, 16};  // values with lengths 3..8
    int v = 0;
    for (int l = 0; l < 6; ++l)
        for (int n = 0; n < kCounts[l]; ++n) len[static_cast<std::size_t>(v++)] = static_cast<std::uint8_t>(3 + l);
    return len;
}

constexpr std::array<std::uint8_t, 64> kLengths = MakeLengths();

constexpr std::array<std::uint8_t, 64> MakeCodes() {
    std::array<std::uint8_t, 64> code{};
    unsigned next = 0;  // left-aligned in 8 bits
    for (std::size_t v = 0; v < 64; ++v) {
        code[v] = static_cast<std::uint8_t>(next);
        next += 1u << (8 - kLengths[v]);
    }
    return code;
}

constexpr std::array<std::uint8_t, 64> kCodes = MakeCodes();

template <bool Lengths>
constexpr std::array<std::uint8_t, 256> MakeDecode() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t v = 0; v < 64; ++v) {
        const unsigned span = 1u << (8 - kLengths[v]);
        for (unsigned b = kCodes[v]; b < kCodes[v] + span; ++b)
            table[b] = Lengths ? kLengths[v] : static_cast<std::uint8_t>(v);
    }
    return table;
}

}  // namespace offsetcode_detail

// Code length of each upper-offset value.
inline constexpr std::array<std::uint8_t, 64> OffsetCodeLen = offsetcode_detail::kLengths;
// Code of each upper-offset value, left-aligned in 8 bits.
inline constexpr std::array<std::uint8_t, 64> OffsetCode = offsetcode_detail::kCodes;
// Indexed by the next 8 stream bits: the value whose code starts them, and that code's length.
inline constexpr std::array<std::uint8_t, 256> OffsetDecodeHigh = offsetcode_detail::MakeDecode<false>();
inline constexpr std::array<std::uint8_t, 256> OffsetDecodeLen = offsetcode_detail::MakeDecode<true>();

static_assert(OffsetCode[63] == 0xFF && OffsetCodeLen[63] == 8, "the offset code fills its code space");

}  // namespace qvx::lzh
