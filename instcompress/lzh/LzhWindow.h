// The LZH sliding window: a 4096-byte ring, followed by 60 bytes that mirror ring positions 0..58 on
// the compressing side, so that the 60-byte string starting at any ring position can be read
// straight.
#pragma once

#include <cstdint>

namespace qvx::lzh {

inline constexpr int kWindowSize = 4096;
inline constexpr int kWindowMask = kWindowSize - 1;
inline constexpr int kMaxMatch = 60;  // longest match
inline constexpr int kMinMatch = 3;   // shortest match
// The model's symbols 0..255 are literal bytes; symbol s from 256 on is a match of s - 253 bytes.
inline constexpr int kFirstLengthSymbol = 256;
inline constexpr int kLengthSymbolBias = kFirstLengthSymbol - kMinMatch;  // 253
inline constexpr int kWindowStart = kWindowSize - kMaxMatch;              // 4036: the first write position
inline constexpr std::uint8_t kWindowFill = 0x20;                         // ring positions 0..4035 start as spaces
inline constexpr int kWindowBytes = kWindowSize + kMaxMatch;              // 4156
// Zero bytes after the window, so that the dictionary can compare strings 8 bytes at a time up to
// their 60th byte; what it reads beyond a string's end never decides a comparison.
inline constexpr int kWindowSlack = 8;

}  // namespace qvx::lzh
