// The LH5 decoder's entry: LZSS over an 8192-byte window with static canonical Huffman codes sent
// per block.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"

namespace qvx::lh5 {

// Expands an LH5 stream until at least Destsize bytes have been produced.
void Lh5Expand(CodecEngine& engine, std::int32_t Destsize);

}  // namespace qvx::lh5
