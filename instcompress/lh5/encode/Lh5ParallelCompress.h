// LH5 compression with the match search of one stream spread over several threads; the output is
// byte for byte that of Lh5Compress.
#pragma once

#include <instcompress/ThreadBudget.h>

#include "../../CodecEngine.h"

namespace qvx::lh5 {

// Chunks searched apart are this many cycles of 8192 positions long (768 KiB), and a chunk searched
// by a finder started cold begins its search kWarmUpCycles cycles before the chunk's first position:
// one twelfth more search.
inline constexpr int kChunkCycles = 96;
inline constexpr int kWarmUpCycles = 8;
// After this many chunks in a row whose cold finder missed the encoder's state, the next
// kInOrderAfterMisses chunks are searched in order before cold finders are tried again; each time
// they miss again at once, twice as many go in order.
inline constexpr int kMissesInARow = 2;
inline constexpr int kInOrderAfterMisses = 4;

struct ParallelOptions {
    int threads = 2;                 // search threads of the run's own (at least 1)
    ThreadBudget* budget = nullptr;  // more search threads, taken while free and given back after each chunk
    // For tests: shorter chunks put many chunks into a short input, and fewer cycles of warm-up make
    // more chunks be redone. The bytes are the same for all values.
    int warmUpCycles = kWarmUpCycles;
    int chunkCycles = kChunkCycles;
};

// How a parallel run went.
struct ParallelStats {
    int chunks = 0;       // chunks searched apart (0: the input was too short, all of it went in order)
    int cold = 0;         // chunks searched by a finder started cold
    int redone = 0;       // cold chunks whose finder did not reach the encoder's state in time
    int mostThreads = 0;  // the most search threads at work at once
};

// Compresses the whole input like Lh5Compress. Only the calling thread uses the engine: it reads
// the input, hands out chunks of it to search threads, checks their results and parses them in
// order into the block writer. The input is read ahead of the output by up to a few chunks, so
// progress runs ahead of what has been written; a cancel ends the input as with Lh5Compress, and
// the stream is the one that input alone gives. Memory: about 3.5 MB per chunk held, at most one
// more chunk than search threads.
ParallelStats Lh5CompressParallel(CodecEngine& engine, const ParallelOptions& options);

}  // namespace qvx::lh5
