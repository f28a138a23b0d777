// The LH5 encoder's entry: LZSS over an 8192-byte window with static canonical Huffman codes sent
// per block.
#pragma once

#include "../../CodecEngine.h"

namespace qvx::lh5 {

// Compresses the whole input into an LH5 stream.
void Lh5Compress(CodecEngine& engine);

}  // namespace qvx::lh5
