// LH5 compression of one stream with its match search on several threads.
#pragma once

#include <cstdint>

#include "CodecSettings.h"
#include "Export.h"
#include "RunCodec.h"
#include "Stream.h"
#include "ThreadBudget.h"

namespace qvx {

// Inputs shorter than this (under three chunks of the search) are compressed on one thread by the
// callers that choose (EntryCompressor::UseThreads): the threads would gain little.
inline constexpr std::int32_t kThreadedCompressMinimum = 2 << 20;

// Compresses source into dest with LH5 like RunCodec(settings, dest, source, Sourcesize, 0, cmLH5,
// false), byte for byte, with the match search on `threads` threads of its own and, when a budget
// is given, on the budget's threads that are free at the time (taken for one chunk of 768 KiB at a
// time). With fewer than 2 threads and no budget: RunCodec's own encoder. The input is read a few
// chunks ahead of the output, so progress runs ahead of what has been written; a cancel ends the
// input as with RunCodec. Peak memory: about 4 MB, and 3.5 MB more per search thread. Kept apart
// from RunCodec, so that a program that only expands (the launcher) links no thread support.
INSTCOMPRESS_API CodecResult CompressLh5Threaded(const CodecSettings& settings, TStream& dest, TStream& source,
                                                 std::int32_t Sourcesize, int threads, ThreadBudget* budget = nullptr);

}  // namespace qvx
