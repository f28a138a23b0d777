// RunCodec: sets up the codec engine for one request and runs the codec of the method and
// direction on it.
#include <instcompress/RunCodec.h>

#include <algorithm>

#include <instcompress/Exceptions.h>

#include "CodecEngine.h"
#include "RleExpand.h"
#include "lh5/Lh5Codec.h"
#include "lzh/LzhCodec.h"

namespace qvx {

namespace {

bool RunsACodec(CompressMethod method) noexcept { return method == cmRLE || method == cmLZH || method == cmLH5; }

}  // namespace

CodecResult RunCodec(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                     std::int32_t Destsize, CompressMethod Method, bool Expanding) {
    if (!Expanding && Method == cmRLE) throw EUnrecognizedCompressionMethod("RLE compression disabled in this build");
    const bool checked = Expanding && settings.CheckedExpansion && RunsACodec(Method);
    if (checked && Destsize < 0) throw EInvalidSize("Negative expanded size");
    // Compressed output may not exceed Sourcesize - MinimumSaving bytes; a checked expansion may not
    // pass the expanded size.
    const std::int32_t outputLimit =
        !Expanding ? static_cast<std::int32_t>(std::clamp<std::int64_t>(
                         static_cast<std::int64_t>(Sourcesize) - settings.MinimumSaving, 0, 0x7FFFFFFF))
        : checked  ? Destsize
                   : CodecEngine::kExpandOutputLimit;
    CodecEngine engine(dest, source, Sourcesize, outputLimit, settings.OnShowProgress, settings.Yield);
    if (checked) engine.CheckExpansion();
    try {
        if (Expanding) {
            switch (Method) {
                case cmRLE: RleExpand(engine); break;
                case cmLZH: lzh::LzhExpand(engine, Destsize); break;
                case cmLH5: lh5::Lh5Expand(engine, Destsize); break;
                default: break;  // NON, CUS and undefined methods: nothing to run
            }
        } else {
            switch (Method) {
                case cmLZH: lzh::LzhCompress(engine); break;
                case cmLH5: lh5::Lh5Compress(engine); break;
                default: break;
            }
        }
        // Only RLE can end short of the size: the other decoders stop at it, or fail first.
        if (checked && engine.OutputCount() < Destsize) throw EDataError(kDataEndsEarlyMessage);
    } catch (const CodecEngine::Stopped&) {
        // A checked expansion cancelled: it ends with what was expanded so far.
    }
    engine.FlushOutput();
    CodecResult result;
    result.OutputCount = engine.OutputCount();
    result.Checksum = Expanding ? engine.OutputChecksum() : engine.InputChecksum();
    result.Cancelled = engine.Cancelled();
    result.InputBitsUsed = engine.InputBitsUsed();
    return result;
}

}  // namespace qvx
