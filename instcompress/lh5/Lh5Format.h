// Constants of the LH5 stream format, shared by the decoder and the encoder.
//
// An LH5 stream is LZSS over an 8192-byte window; literals, match lengths and match distances are
// coded with static canonical Huffman codes that are sent at the start of every block.
#pragma once

#include <cstdint>

namespace qvx::lh5 {

// The sliding window: distances 1..8192; filled with spaces before the first symbol.
inline constexpr unsigned kWindowSize = 8192;
inline constexpr unsigned kWindowMask = kWindowSize - 1;
inline constexpr std::uint8_t kWindowFill = 0x20;

// Literal/length alphabet: 0..255 literal bytes, 256..509 match lengths 3..256.
inline constexpr unsigned kLiteralAlphabet = 510;
inline constexpr unsigned kFirstLengthSymbol = 256;
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 256;
// Match length of a length symbol c is c - kLengthSymbolBias.
inline constexpr unsigned kLengthSymbolBias = kFirstLengthSymbol - kMinMatch;

// Position alphabet: symbol k is the bit length of the distance value (0..8191).
inline constexpr unsigned kPositionAlphabet = 14;
// Code-length alphabet: 0 one zero length, 1 a run of 3..18 zeros, 2 a run of 20..531 zeros,
// 3..18 the lengths 1..16.
inline constexpr unsigned kCodeLengthAlphabet = 19;
inline constexpr unsigned kCodeLengthSymbolBias = 2;  // length = symbol - 2
inline constexpr unsigned kShortZeroRunBits = 4;      // run - 3
inline constexpr unsigned kShortZeroRunBase = 3;
inline constexpr unsigned kLongZeroRunBits = 9;       // run - 20
inline constexpr unsigned kLongZeroRunBase = 20;

// Block header fields, in bits.
inline constexpr unsigned kBlockSizeBits = 16;          // 0 stands for 65,536 symbols
inline constexpr unsigned kCodeLengthCountBits = 5;
inline constexpr unsigned kLiteralCountBits = 9;
inline constexpr unsigned kPositionCountBits = 4;
// After the third length of the code-length code comes a 2-bit count of zero lengths.
inline constexpr unsigned kCodeLengthSkipIndex = 3;
inline constexpr unsigned kCodeLengthSkipBits = 2;
// A small-code length of 0..6 takes 3 bits; from 7 up, 111 and then length - 7 one bits and a zero.
inline constexpr unsigned kSmallLengthBits = 3;
inline constexpr unsigned kSmallLengthEscape = 7;

inline constexpr unsigned kMaxCodeLength = 16;

// Decode lookup tables: 12 bits for the literal/length code, 8 for the other two.
inline constexpr unsigned kLiteralTableBits = 12;
inline constexpr unsigned kSmallTableBits = 8;

// Tree node entries shared by the three codes' overflow trees (nodes are numbered from the
// alphabet size upward).
inline constexpr unsigned kTreeNodeEntries = 1020;

}  // namespace qvx::lh5
