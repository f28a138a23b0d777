// Compression with QVX_FUZZ_METHOD followed by expansion must give back the input and the same
// checksum in both directions.
#include <cstdlib>

#include <instcompress/RunCodec.h>

#include "FuzzSupport.h"

using namespace qvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto inputSize = static_cast<std::int32_t>(size);
    TQuorvexCompress component;
    component.SetMinimumSaving(-0x3FFFFFFF);  // raw streams may grow; no output limit here

    TMemoryStream original(std::span<const std::uint8_t>(data, size));
    TMemoryStream compressed;
    std::uint32_t compressSum = 0;
    const std::int32_t storedSize =
        RunCodec(component, compressed, original, inputSize, 0, QVX_FUZZ_METHOD, compressSum, false);
    if (storedSize != compressed.Size() || compressSum != ByteSum(data, size)) std::abort();

    compressed.SetPosition(0);
    TMemoryStream expanded;
    std::uint32_t expandSum = 0;
    RunCodec(component, expanded, compressed, storedSize, inputSize, QVX_FUZZ_METHOD, expandSum, true);
    if (expandSum != compressSum) std::abort();
    if (expanded.Data().size() != size) std::abort();
    if (size != 0 && std::memcmp(expanded.Data().data(), data, size) != 0) std::abort();
    // The decoder consumed exactly the stored bytes.
    if (compressed.Position() != storedSize) std::abort();
    return 0;
}
