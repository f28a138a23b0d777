// ExpandCodec: sets up the codec engine for one expansion and runs the decoder of the method. It
// reaches the decoders only, so a program that only expands links no encoder.
#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "CodecRequest.h"
#include "RleExpand.h"
#include "lh5/decode/Lh5Expand.h"
#include "lzh/decode/LzhExpand.h"

namespace qvx {

namespace {

bool RunsADecoder(CompressMethod method) noexcept { return method == cmRLE || method == cmLZH || method == cmLH5; }

}  // namespace

CodecResult ExpandCodec(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                        std::int32_t Destsize, CompressMethod Method) {
    const bool checked = settings.CheckedExpansion && RunsADecoder(Method);
    if (checked && Destsize < 0) throw EInvalidSize("Negative expanded size");
    // A checked expansion may not pass the expanded size.
    const std::int32_t outputLimit = checked ? Destsize : CodecEngine::kExpandOutputLimit;
    CodecEngine engine(dest, source, Sourcesize, outputLimit, settings.OnShowProgress, settings.Yield);
    if (checked) engine.CheckExpansion();
    try {
        switch (Method) {
            case cmRLE: RleExpand(engine); break;
            case cmLZH: lzh::LzhExpand(engine, Destsize); break;
            case cmLH5: lh5::Lh5Expand(engine, Destsize); break;
            default: break;  // NON, CUS and undefined methods: nothing to run
        }
        // Only RLE can end short of the size: the other decoders stop at it, or fail first.
        if (checked && engine.OutputCount() < Destsize) throw EDataError(kDataEndsEarlyMessage);
    } catch (const CodecEngine::Stopped&) {
        // A checked expansion cancelled: it ends with what was expanded so far.
    }
    return FinishRequest(engine, true);
}

}  // namespace qvx
