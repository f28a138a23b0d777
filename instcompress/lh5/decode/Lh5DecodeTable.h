// MakeTable: the decode structures of one canonical Huffman code of the LH5 format.
//
// Canonical code: all shorter codes come before longer ones, and codes of one length are handed
// out in ascending symbol order. A code of length len <= tablebits fills every table slot whose
// index begins with it; a longer code hangs in a binary tree whose root sits in the slot of its
// first tablebits bits. Tree nodes are numbered from nchar upward and their children live in
// leftLink/rightLink (0 bit left, 1 bit right). A table entry or link below nchar is a symbol.
#pragma once

#include <cstdint>
#include <span>

namespace qvx::lh5 {

// Table entry of a code that has no symbol at all (a length list of zeros): decoding any symbol
// with it is an error.
inline constexpr std::uint16_t kNoCodeEntry = 0xFFFF;

// Builds table (2^tablebits entries) and the tree nodes from lengths[0..nchar-1] (0 = the symbol
// does not occur). Raises ELZHBadDecodeTable for a length above 16, for a list that is not a
// complete prefix code (over-full or incomplete), and when the tree would need more nodes than
// leftLink/rightLink hold. A list with no nonzero length fills the table with kNoCodeEntry.
void MakeTable(unsigned nchar, std::span<const std::uint8_t> lengths, unsigned tablebits,
               std::span<std::uint16_t> table, std::span<std::uint16_t> leftLink, std::span<std::uint16_t> rightLink);

}  // namespace qvx::lh5
