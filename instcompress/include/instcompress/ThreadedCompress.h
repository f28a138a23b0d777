// LH5 compression of one stream with its match search on several threads.
#pragma once

#include <cstdint>

#include "CodecSettings.h"
#include "Export.h"
#include "RunCodec.h"
#include "Stream.h"

namespace qvx {

// Compresses source into dest with LH5 like RunCodec(settings, dest, source, Sourcesize, 0, cmLH5,
// false), byte for byte, with the match search on `threads` threads (at most 2 are used; fewer
// than 2: RunCodec's own encoder). The input is read up to about a megabyte ahead of the output,
// so progress runs ahead of what has been written; a cancel ends the input as with RunCodec. Peak
// memory stays under 16 MB for any input. Kept apart from RunCodec, so that a program that only
// expands (the launcher) links no thread support.
INSTCOMPRESS_API CodecResult CompressLh5Threaded(const CodecSettings& settings, TStream& dest, TStream& source,
                                                 std::int32_t Sourcesize, int threads);

}  // namespace qvx
