#include <instcompress/ThreadedCompress.h>

#include <algorithm>

#include "CodecEngine.h"
#include "lh5/Lh5ParallelCompress.h"

namespace qvx {

CodecResult CompressLh5Threaded(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                                int threads, ThreadBudget* budget) {
    // The engine as RunCodec sets it up for compression: output up to Sourcesize - MinimumSaving.
    const auto outputLimit = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(Sourcesize) - settings.MinimumSaving, 0, 0x7FFFFFFF));
    CodecEngine engine(dest, source, Sourcesize, outputLimit, settings.OnShowProgress, settings.Yield);
    lh5::ParallelOptions options;
    options.threads = threads;
    options.budget = budget;
    lh5::Lh5CompressParallel(engine, options);
    engine.FlushOutput();
    CodecResult result;
    result.OutputCount = engine.OutputCount();
    result.Checksum = engine.InputChecksum();
    result.Cancelled = engine.Cancelled();
    return result;
}

}  // namespace qvx
