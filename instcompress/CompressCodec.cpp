// CompressCodec: sets up the codec engine for one compression and runs the encoder of the method.
#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "CodecRequest.h"
#include "lh5/encode/Lh5Compress.h"
#include "lzh/encode/LzhCompress.h"

namespace qvx {

CodecResult CompressCodec(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                          CompressMethod Method) {
    if (Method == cmRLE) throw EUnrecognizedCompressionMethod("RLE compression disabled in this build");
    CodecEngine engine(dest, source, Sourcesize, CompressOutputLimit(settings, Sourcesize), settings.OnShowProgress,
                       settings.Yield);
    switch (Method) {
        case cmLZH: lzh::LzhCompress(engine); break;
        case cmLH5: lh5::Lh5Compress(engine); break;
        default: break;  // NON, CUS and undefined methods: nothing to run
    }
    return FinishRequest(engine, false);
}

}  // namespace qvx
