// Helpers shared by the LH5 decoder tests: running an expansion through RunCodec, and a source
// stream that shows exactly how many bytes the decoder pulled.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>
#include <instcompress/Stream.h>

#include "CodecEngine.h"

namespace qvx::lh5test {

// A source that delivers at most `piece` bytes per Read and counts the Read calls, so that its
// position is the number of bytes the engine's ReadByte has handed out (with piece = 1).
class TrickleStream final : public TStream {
public:
    explicit TrickleStream(std::vector<std::uint8_t> data, std::int32_t piece = 1)
        : data_(std::move(data)), piece_(piece) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        ++reads_;
        const auto left = static_cast<std::int64_t>(data_.size()) - position_;
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>({count, piece_, left}));
        if (n <= 0) return 0;
        std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
        if (origin == SeekOrigin::Begin)
            position_ = offset;
        else if (origin == SeekOrigin::Current)
            position_ += offset;
        else
            position_ = static_cast<std::int64_t>(data_.size()) + offset;
        return position_;
    }
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
    int Reads() const noexcept { return reads_; }

private:
    std::vector<std::uint8_t> data_;
    std::int32_t piece_;
    std::int64_t position_ = 0;
    int reads_ = 0;
};

struct ExpandResult {
    std::vector<std::uint8_t> Output;
    std::uint32_t Checksum = 0;
    std::int64_t SourcePosition = 0;  // bytes taken from the source
};

// Expands stream with Destsize through RunCodec with the component's progress handler. By default
// the source delivers one byte per read, so that its position counts exactly the bytes the decoder
// asked for. sourceSize < 0 means the stream's size. Unless checked, the expansion has the codec's
// own behaviour (bits past the end of the input read as zeros, a last match is written whole).
inline ExpandResult ExpandLh5(const std::vector<std::uint8_t>& stream, std::int32_t Destsize,
                              std::int32_t sourceSize = -1, const TQuorvexCompress& component = TQuorvexCompress{},
                              std::int32_t piece = 1, bool checked = false) {
    TrickleStream source(stream, piece);
    TMemoryStream dest;
    ExpandResult result;
    CodecSettings settings = component.Settings();
    settings.CheckedExpansion = checked;
    result.Checksum =
        RunCodec(settings, dest, source, sourceSize < 0 ? static_cast<std::int32_t>(stream.size()) : sourceSize,
                 Destsize, cmLH5, true)
            .Checksum;
    result.Output = dest.Data();
    result.SourcePosition = source.Position();
    return result;
}

}  // namespace qvx::lh5test
