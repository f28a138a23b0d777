// The LZH decoder's entry: LZSS over a 4096-byte window whose literals and match lengths are coded
// with an adaptive Huffman code, and whose offsets carry a fixed 6-bit prefix code plus 6 raw bits.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"

namespace qvx::lzh {

// Expands an LZH stream until at least expandedSize bytes have been produced.
void LzhExpand(CodecEngine& engine, std::int32_t expandedSize);

}  // namespace qvx::lzh
