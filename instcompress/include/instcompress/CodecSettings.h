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
    // Expanding: the Sourcesize bytes must expand to exactly Destsize bytes, and the request stops
    // at the first sign that they do not. EDataError when the decoder needs bits past the end of
    // its input (the look-ahead of the LH5 bit reader past the last symbol does not count) or when
    // the output would pass Destsize (no byte past it reaches dest), or an RLE stream ends short of
    // it; ETruncatedArchive when source delivers fewer than Sourcesize bytes; a cancel ends the
    // request at once with CodecResult::Cancelled. false: the codecs' own behaviour, in which bits
    // past the end read as zeros, a last match is written whole and RLE runs to the end of its
    // input whatever Destsize says. Not used when compressing.
    bool CheckedExpansion = true;
};

}  // namespace qvx
