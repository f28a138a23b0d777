// RunCodec: one compress or expand request of a codec between two streams.
#pragma once

#include <cstdint>

#include "CodecSettings.h"
#include "CompressMethod.h"
#include "Export.h"
#include "Stream.h"

namespace qvx {

class TQuorvexCompress;

struct CodecResult {
    // Bytes written to dest: the compressed size when compressing.
    std::int32_t OutputCount = 0;
    // The byte sum of the uncompressed data: of the bytes written when expanding, of the bytes
    // read when compressing.
    std::uint32_t Checksum = 0;
    // The progress handler cancelled: the codec saw the end of its input early, so the result
    // stands for part of the data only.
    bool Cancelled = false;
    // Expanding LZH: the bits of the input the decoder used to produce its output, bits read past
    // the end of the input included (so a value above 8 * Sourcesize means the stream ended
    // first). -1 when the codec does not count them (the other methods, and compression).
    std::int64_t InputBitsUsed = -1;
};

// Expands (Expanding = true) or compresses source into dest with the codec of Method. At most
// Sourcesize bytes are read from source's position, and bytes are appended at dest's position;
// neither stream is seeked, and both are only borrowed. Destsize is the expanded size, which the
// LZH and LH5 decoders stop at (not used when compressing).
//   expand:   RLE, LZH, LH5
//   compress: LZH, LH5; RLE raises EUnrecognizedCompressionMethod ("RLE compression disabled in
//             this build") before anything is read
//   NON, CUS and undefined methods read and write nothing and give checksum 0.
// Expanding with settings.CheckedExpansion (the default), the stored bytes must give exactly
// Destsize bytes: EDataError when the decoder needs bits past the end of its Sourcesize bytes
// ("compressed data ends before the entry is complete", raised as soon as it does) or the output
// would pass Destsize ("compressed data expands past the entry's size"; no byte past it reaches
// dest), ETruncatedArchive when source runs out before Sourcesize bytes, EInvalidSize for a
// negative Destsize; a cancel by the progress handler ends the request at once (Cancelled, with
// the bytes expanded so far written). Without it, the codecs' own behaviour: bits past the end of
// the input read as zeros, a last match is written whole, RLE ignores Destsize, and damage shows
// only in the checksum.
// Errors: EUnableToCompress when the output limit is reached (compressing: Sourcesize -
// MinimumSaving bytes; expanding unchecked: 2^31 - 1), ELZHBadDecodeTable for a damaged LH5 code,
// EInvalidSize for a negative Sourcesize, the checked expansion's errors above, and the streams'
// EWriteError. On an error dest keeps the full 8 KB blocks already written.
INSTCOMPRESS_API CodecResult RunCodec(const CodecSettings& settings, TStream& dest, TStream& source,
                                      std::int32_t Sourcesize, std::int32_t Destsize, CompressMethod Method,
                                      bool Expanding);

// The two directions of RunCodec apart, with the same behaviour and errors: ExpandCodec is
// RunCodec(..., Expanding = true), CompressCodec is RunCodec(..., Destsize, Method, false). A
// program that calls only ExpandCodec (the archive component's expansions do) links none of the
// encoders.
INSTCOMPRESS_API CodecResult ExpandCodec(const CodecSettings& settings, TStream& dest, TStream& source,
                                         std::int32_t Sourcesize, std::int32_t Destsize, CompressMethod Method);
INSTCOMPRESS_API CodecResult CompressCodec(const CodecSettings& settings, TStream& dest, TStream& source,
                                           std::int32_t Sourcesize, CompressMethod Method);

// The same request with the settings of an archive component (its OnShowProgress, MinimumSaving
// and yield hook). checksum receives CodecResult::Checksum (and is left alone on an error); the
// result is the output count.
INSTCOMPRESS_API std::int32_t RunCodec(const TQuorvexCompress& component, TStream& dest, TStream& source,
                                       std::int32_t Sourcesize, std::int32_t Destsize, CompressMethod Method,
                                       std::uint32_t& checksum, bool Expanding);

}  // namespace qvx
