// The LZH encoder's entry: LZSS over a 4096-byte window whose literals and match lengths are coded
// with an adaptive Huffman code, and whose offsets carry a fixed 6-bit prefix code plus 6 raw bits.
#pragma once

#include "../../CodecEngine.h"

namespace qvx::lzh {

// Compresses the whole input into an LZH stream.
void LzhCompress(CodecEngine& engine);

}  // namespace qvx::lzh
