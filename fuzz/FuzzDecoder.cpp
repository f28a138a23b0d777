// One raw decoder (QVX_FUZZ_METHOD) on arbitrary bytes: a 32-bit expanded size (bounded) followed by
// the stored stream, expanded with the codec's own behaviour and as a checked expansion. Only the
// system's exceptions may come out; output is bounded by the sink. A stream the checked expansion
// accepts gives exactly the size, and the same bytes, when the codec runs on its own; for LZH, whose
// decoder reports the bits it used, the converse holds too.
#include <cstdlib>

#include <instcompress/RunCodec.h>

#include "FuzzSupport.h"

using namespace qvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    const auto destsize = static_cast<std::int32_t>(fuzz::TakeU32(input) % (fuzz::kMaxExpandedSize + 1));
    const auto sourceSize = static_cast<std::int32_t>(input.size());

    CodecSettings own;
    own.CheckedExpansion = false;
    own.Yield = {};
    CodecResult loose;
    bool looseEnded = false;
    try {
        TMemoryStream source(input);
        // Matches can run past the expanded size by at most 255 bytes.
        fuzz::BoundedSink sink(static_cast<std::int64_t>(destsize) + 256);
        loose = RunCodec(own, sink, source, sourceSize, destsize, QVX_FUZZ_METHOD, true);
        looseEnded = true;
    } catch (const qvx::Exception&) {
    }

    CodecSettings checked;
    checked.Yield = {};
    try {
        TMemoryStream source(input);
        fuzz::BoundedSink sink(destsize);  // a checked expansion never writes past the size
        const CodecResult r = RunCodec(checked, sink, source, sourceSize, destsize, QVX_FUZZ_METHOD, true);
        if (r.OutputCount != destsize || !looseEnded || loose.OutputCount != destsize || loose.Checksum != r.Checksum)
            std::abort();
    } catch (const qvx::Exception&) {
        if (QVX_FUZZ_METHOD == cmLZH && looseEnded && loose.OutputCount == destsize &&
            loose.InputBitsUsed <= 8 * static_cast<std::int64_t>(sourceSize))
            std::abort();
    }
    return 0;
}
