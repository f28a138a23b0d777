// What every codec request shares, whichever its direction: the output limit of a compression and
// the result read off the engine when the codec is done. The expanding and the compressing
// dispatch (ExpandCodec.cpp, CompressCodec.cpp) and the threaded LH5 compressor use it, so that a
// program that only expands links none of the encoders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include <instcompress/CodecSettings.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"

namespace qvx {

// Compressed output may not exceed Sourcesize - MinimumSaving bytes (0 at the least).
inline std::int32_t CompressOutputLimit(const CodecSettings& settings, std::int32_t Sourcesize) noexcept {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(Sourcesize) - settings.MinimumSaving, 0, std::numeric_limits<std::int32_t>::max()));
}

// Flushes the engine's output and reads the request's result off it. The checksum is the byte sum
// of the uncompressed side: the output of an expansion, the input of a compression.
inline CodecResult FinishRequest(CodecEngine& engine, bool Expanding) {
    engine.FlushOutput();
    CodecResult result;
    result.OutputCount = engine.OutputCount();
    result.Checksum = Expanding ? engine.OutputChecksum() : engine.InputChecksum();
    result.Cancelled = engine.Cancelled();
    result.InputBitsUsed = engine.InputBitsUsed();
    return result;
}

}  // namespace qvx
