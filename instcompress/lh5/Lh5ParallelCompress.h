// LH5 compression with the match search of one stream spread over several threads; the output is
// byte for byte that of Lh5Compress.
#pragma once

#include "../CodecEngine.h"

namespace qvx::lh5 {

inline constexpr int kMaxParallelWorkers = 2;
// Chunks searched apart are this many cycles of 8192 positions long, and a chunk's finder searches
// kWarmUpCycles cycles before the chunk's first position.
inline constexpr int kChunkCycles = 64;
inline constexpr int kWarmUpCycles = 8;

// How a parallel run went.
struct ParallelStats {
    int chunks = 0;   // chunks searched apart (0: the input was too short, all of it went in order)
    int redone = 0;   // chunks whose cold finder did not reach the encoder's state in time
    int inOrder = 0;  // chunks handed straight to the checked finder, after two redone in a row
};

// Compresses the whole input like Lh5Compress, with `workers` threads searching matches (at most
// kMaxParallelWorkers, which keeps peak memory under 16 MB; fewer than 2: Lh5Compress itself).
// Only the calling thread uses the engine. The input is read ahead of the output by up to about a
// megabyte, so progress runs ahead of what has been written; a cancel ends the input as with
// Lh5Compress, and the stream is the one that input alone gives.
// warmUpCycles and chunkCycles are for tests: shorter chunks put many chunks into a short input,
// and fewer cycles of warm-up make more chunks be redone. The bytes are the same for all values.
ParallelStats Lh5CompressParallel(CodecEngine& engine, int workers, int warmUpCycles = kWarmUpCycles,
                                  int chunkCycles = kChunkCycles);

}  // namespace qvx::lh5
