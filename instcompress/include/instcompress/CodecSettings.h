// CodecSettings: what one codec request takes besides its streams and sizes.
#pragma once

#include <cstdint>
#include <functional>

#include "Events.h"
#include "Export.h"

namespace qvx {

// Called by the codec engine once per input block read and once per full output block written,
// so that long requests give other threads and processes the processor (a host with a user
// interface may also look into its message queue there). An empty hook is never called.
using YieldHook = std::function<void()>;

// Gives up the processor once: a zero-length sleep on Windows, a scheduler yield elsewhere. The
// default yield hook.
INSTCOMPRESS_API void YieldTimeSlice();

struct CodecSettings {
    // Called once per input block of up to 8192 bytes with the share of the input read so far, in
    // percent; setting PercentageDone to -1 cancels (the codec then sees the end of its input).
    // May be unset.
    TShowProgressEvent OnShowProgress;
    // Bytes by which compressed output must undercut the input: compression raises
    // EUnableToCompress once its output would exceed Sourcesize - MinimumSaving bytes. Not used
    // when expanding.
    std::int32_t MinimumSaving = 0;
    // The yield between blocks; an empty hook never yields (a command-line program needs none).
    YieldHook Yield = YieldTimeSlice;
};

}  // namespace qvx
