// LH5 compression with the match search of one stream spread over several threads; the output is
// byte for byte that of Lh5Compress.
#pragma once

#include "../CodecEngine.h"

namespace qvx::lh5 {

// Compresses the whole input like Lh5Compress, with up to `workers` threads searching matches
// (fewer than 2: Lh5Compress itself). Only the calling thread uses the engine. The input is read
// ahead of the output by up to about a megabyte, so progress runs ahead of what has been written;
// a cancel ends the input as with Lh5Compress, and the stream is the one that input alone gives.
void Lh5CompressParallel(CodecEngine& engine, int workers);

}  // namespace qvx::lh5
