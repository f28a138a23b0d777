// Constants of the LH5 stream format, shared by the decoder and the encoder.
//
// An LH5 stream is LZSS over an 8192-byte window; literals, match lengths and match distances are
// coded with static canonical Huffman codes that are sent at the start of every block.
#pragma once

#include <cstdint>

namespace qvx::lh5 {

// The sliding window: distances 1..8192; filled with spaces before the first symbol.
inline constexpr int kWindowSize = 8192;
inline constexpr int kWindowMask = kWindowSize - 1;
inline constexpr std::uint8_t kWindowFill = 0x20;

// Literal/length alphabet: 0..255 literal bytes, 256..509 match lengths 3..256.
inline constexpr int kLiteralAlphabet = 510;
inline constexpr int kFirstLengthSymbol = 256;
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
// Match length of a length symbol c is c - kLengthSymbolBias.
inline constexpr int kLengthSymbolBias = kFirstLengthSymbol - kMinMatch;

// Position alphabet: symbol k is the bit length of the distance value (0..8191).
inline constexpr int kPositionAlphabet = 14;
// Code-length alphabet: 0 one zero length, 1 a run of 3..18 zeros, 2 a run of 20..531 zeros,
// 3..18 the lengths 1..16.
inline constexpr int kCodeLengthAlphabet = 19;
inline constexpr int kCodeLengthSymbolBias = 2;  // length = symbol - 2
inline constexpr int kShortZeroRunBits = 4;      // run - 3
inline constexpr int kShortZeroRunBase = 3;
inline constexpr int kLongZeroRunBits = 9;  // run - 20
inline constexpr int kLongZeroRunBase = 20;

// Block header fields, in bits.
inline constexpr int kBlockSizeBits = 16;  // 0 stands for 65,536 symbols
inline constexpr int kCodeLengthCountBits = 5;
inline constexpr int kLiteralCountBits = 9;
inline constexpr int kPositionCountBits = 4;
// After the third length of the code-length code comes a 2-bit count of zero lengths.
inline constexpr int kCodeLengthSkipIndex = 3;
inline constexpr int kCodeLengthSkipBits = 2;
// A small-code length of 0..6 takes 3 bits; from 7 up, 111 and then length - 7 one bits and a zero.
inline constexpr int kSmallLengthBits = 3;
inline constexpr int kSmallLengthEscape = 7;

inline constexpr int kMaxCodeLength = 16;

// Decode lookup tables: 12 bits for the literal/length code, 8 for the other two.
inline constexpr int kLiteralTableBits = 12;
inline constexpr int kSmallTableBits = 8;

// Tree node entries shared by the three codes' overflow trees (nodes are numbered from the
// alphabet size upward).
inline constexpr int kTreeNodeEntries = 1020;

}  // namespace qvx::lh5
