// RawExpansion: a bare compressed stream (no archive around it) expanded to the size the user
// gives, with a verdict on whether the stream holds that many bytes.
//
// The decoders stop once they have produced the size they are asked for; they never look for an
// end of their own (the streams have no end marker), read zero bits past the end of their input,
// and copy a match whole even when it runs past the size. So the verdict comes from how far into
// the input the decoder read, counted exactly: the engine gets the stream in blocks up to its last
// bytes, then those and a few zero bytes of padding one per read.
//   - LH5's bit reader always holds the 16 bits after those it used: after using u bits it has
//     taken exactly ceil((u + 16) / 8) bytes. Taking 3 or more bytes past the end means it used
//     bits past the end; taking at most 1 means the last byte went unused.
//   - The LZH decoder reports the bits it used (CodecResult::InputBitsUsed): more than the stream
//     holds means it ended first, fewer than its last byte's first bit means whole bytes went
//     unused.
//   - RLE reads its whole input: what it produced is compared with the size.
// A stream "ends first" when the decoder used bits past its end, and "holds more" when a match ran
// past the size or whole bytes of the stream were not needed. Bits of the last byte after the
// last code cannot be told from the zero bits that pad a stream to whole bytes.
#pragma once

#include <cstdint>

#include <instcompress/CodecSettings.h>
#include <instcompress/CompressMethod.h>
#include <instcompress/Stream.h>

#include "archive/ForwardStream.h"

namespace qvx::cli {

// The largest stream the engine can take with the few padding bytes the verdict needs behind it.
inline constexpr std::int32_t kLargestRawStream = 0x7FFFFFFF - 4;

enum class StreamFit { Exact, EndsFirst, HoldsMore };

struct RawExpansion {
    StreamFit Fit = StreamFit::Exact;
    std::int64_t Written = 0;    // bytes written to dest: what the decoder produced, at most the size
    std::int64_t Produced = 0;   // bytes the decoder produced
    std::uint32_t Checksum = 0;  // byte sum of the bytes produced
};

// Expands the sourceSize bytes of source from its position with the method (RLE, LZH or LH5) into
// dest, which receives at most expandedSize bytes. For RLE a negative expandedSize means that no
// size was given: all the output is written and it fits. Raises what RunCodec raises, and
// EInvalidSize for a sourceSize above kLargestRawStream.
RawExpansion ExpandRawStream(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t sourceSize,
                             CompressMethod method, std::int32_t expandedSize);
// The same for a stream read forward to its end (make it with a limit of kLargestRawStream), with
// the same verdict: the decoder stops where it would in the file, and a stream that holds more is
// read no further than a few bytes past that point.
RawExpansion ExpandRawStream(const CodecSettings& settings, TStream& dest, TForwardStream& source,
                             CompressMethod method, std::int32_t expandedSize);

}  // namespace qvx::cli
