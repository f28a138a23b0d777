// Huffman code construction for the LH5 encoder: code lengths of at most 16 bits from the symbol
// frequencies of one block, and the canonical codes for those lengths. Every tie is broken by a
// fixed rule, so the same frequencies always give the same lengths and codes.
#pragma once

#include <array>
#include <cstdint>

#include "../Lh5Format.h"

namespace qvx::lh5 {

// The largest alphabet (literal/length, 510 symbols) needs 2 * 510 - 1 frequency entries.
inline constexpr int kMaxHuffmanSymbols = kLiteralAlphabet;
inline constexpr int kMaxHuffmanNodes = 2 * kMaxHuffmanSymbols - 1;

// Number of codes of each length 0..16; index 16 also collects every leaf deeper than 16 until
// FitCodeLengths repairs the counts.
using DepthCounts = std::array<int, kMaxCodeLength + 1>;

// Builds the code of symbols 0..n-1 (n <= 510).
// freq: 2n-1 entries; entries 0..n-1 hold the symbol counts, entries n.. receive the weights of the
// merge tree's internal nodes. lengths: n entries, all rewritten. codes: n entries; a symbol with a
// length gets its code left-aligned in 16 bits (the L leading bits are the code).
// Returns the root node (>= n) when at least two symbols occur; freq[root] then holds the sum of all
// counts. Otherwise returns the one symbol that occurs (0 when none does), with all lengths 0 and
// codes[result] = 0.
std::uint16_t BuildHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* lengths, std::uint16_t* codes);

// Counts the leaves of the merge tree below root by depth (depths of 16 and more count at 16).
// firstChild/secondChild are indexed by node number (n .. root).
void CountLeafDepths(std::uint16_t root, int n, const std::uint16_t* firstChild, const std::uint16_t* secondChild,
                     DepthCounts& depthCount);

// Repairs depth counts with leaves deeper than 16 so that they describe a full code of at most 16
// bits, then gives out the lengths: the leaves taken from the heap first (leafOrder) receive the
// longest codes.
void FitCodeLengths(DepthCounts& depthCount, const std::uint16_t* leafOrder, std::uint8_t* lengths);

// Assigns left-aligned canonical codes: shorter codes first, and within one length in ascending
// symbol order.
void AssignCodes(int n, const DepthCounts& depthCount, const std::uint8_t* lengths, std::uint16_t* codes);

}  // namespace qvx::lh5
