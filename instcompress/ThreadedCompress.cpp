#include <instcompress/ThreadedCompress.h>

#include "CodecEngine.h"
#include "CodecRequest.h"
#include "lh5/encode/Lh5ParallelCompress.h"

namespace qvx {

CodecResult CompressLh5Threaded(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                                int threads, ThreadBudget* budget) {
    // The engine as a compression request sets it up: output up to Sourcesize - MinimumSaving.
    CodecEngine engine(dest, source, Sourcesize, CompressOutputLimit(settings, Sourcesize), settings.OnShowProgress,
                       settings.Yield);
    lh5::ParallelOptions options;
    options.threads = threads;
    options.budget = budget;
    lh5::Lh5CompressParallel(engine, options);
    return FinishRequest(engine, false);
}

}  // namespace qvx
