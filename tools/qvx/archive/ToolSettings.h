// Settings every codec request of the qvx tool shares.
#pragma once

#include <instcompress/CodecSettings.h>

namespace qvx::cli {

// The tool's codec requests never yield between blocks: a command-line program has no other
// threads to give the processor to, and on a busy machine every yield costs a time slice.
inline const YieldHook kNoYield{};

}  // namespace qvx::cli
