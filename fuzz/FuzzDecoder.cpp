// One raw decoder (QVX_FUZZ_METHOD) on arbitrary bytes: a 32-bit expanded size (bounded) followed by
// the stored stream. Only the system's exceptions may come out; output is bounded by the sink.
#include <instcompress/RunCodec.h>

#include "FuzzSupport.h"

using namespace qvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    const auto destsize = static_cast<std::int32_t>(fuzz::TakeU32(input) % (fuzz::kMaxExpandedSize + 1));
    TQuorvexCompress component;
    TMemoryStream source(input);
    // Matches can run past the expanded size by at most 255 bytes.
    fuzz::BoundedSink sink(static_cast<std::int64_t>(destsize) + 256);
    std::uint32_t checksum = 0;
    try {
        RunCodec(component, sink, source, static_cast<std::int32_t>(input.size()), destsize, QVX_FUZZ_METHOD,
                 checksum, true);
    } catch (const qvx::Exception&) {
    }
    return 0;
}
