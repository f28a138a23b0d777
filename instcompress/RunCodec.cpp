// RunCodec: one request in either direction, handed to the expanding or the compressing dispatch.
// Programs that only expand call ExpandCodec (as the archive component does) and so link no
// encoder; RunCodec itself reaches both.
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

namespace qvx {

CodecResult RunCodec(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t Sourcesize,
                     std::int32_t Destsize, CompressMethod Method, bool Expanding) {
    return Expanding ? ExpandCodec(settings, dest, source, Sourcesize, Destsize, Method)
                     : CompressCodec(settings, dest, source, Sourcesize, Method);
}

std::int32_t RunCodec(const TQuorvexCompress& component, TStream& dest, TStream& source, std::int32_t Sourcesize,
                      std::int32_t Destsize, CompressMethod Method, std::uint32_t& checksum, bool Expanding) {
    const CodecResult result = RunCodec(component.Settings(), dest, source, Sourcesize, Destsize, Method, Expanding);
    checksum = result.Checksum;
    return result.OutputCount;
}

}  // namespace qvx
