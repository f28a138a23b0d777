#include "archive/RawExpansion.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/RunCodec.h>

namespace qvx::cli {

namespace {

// The last bytes of the stream handed over one per read, and the padding after it.
constexpr std::int32_t kTail = 16;
constexpr std::int32_t kPadding = 4;
static_assert(kLargestRawStream + kPadding == std::numeric_limits<std::int32_t>::max());

// The input of one expansion as the engine reads it: the stream in the blocks the engine asks for
// up to its last kTail bytes, then one byte per read, followed by padding bytes (read one by one).
// The engine reads again only once its buffer is used up, so in the part read byte by byte the
// count of bytes handed over is the count the decoder has taken. A stream read forward (size not
// known) is looked ahead of by kTail bytes, so its last bytes are known when they come.
class MeteredInput final : public TStream {
public:
    MeteredInput(TStream& source, std::int32_t size, std::int32_t paddingSize, std::uint8_t padding) noexcept
        : source_(source),
          size_(size),
          bulkEnd_(std::max(0, size - kTail)),
          end_(static_cast<std::int64_t>(size) + paddingSize),
          paddingSize_(paddingSize),
          padding_(padding) {}
    MeteredInput(TForwardStream& source, std::int32_t paddingSize, std::uint8_t padding) noexcept
        : source_(source), forward_(&source), paddingSize_(paddingSize), padding_(padding) {}

    // What the engine may read: the stream and its padding (a stream read forward ends the
    // engine's input itself).
    std::int32_t EngineSize() const noexcept {
        return forward_ != nullptr ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(end_);
    }

    std::int32_t Read(void* buffer, std::int32_t count) override {
        if (count <= 0) return 0;
        if (size_ < 0) {
            const auto ahead = forward_->Peek(count + kTail);
            if (static_cast<std::int32_t>(ahead.size()) > kTail) {
                const std::int32_t n =
                    source_.Read(buffer, std::min(count, static_cast<std::int32_t>(ahead.size()) - kTail));
                delivered_ += n;
                return n;
            }
            // The end is in sight: the rest goes as for a stream of known size.
            size_ = delivered_ + static_cast<std::int64_t>(ahead.size());
            bulkEnd_ = delivered_;
            end_ = size_ + paddingSize_;
        }
        std::int32_t n = 0;
        if (delivered_ < bulkEnd_) {
            n = source_.Read(buffer, static_cast<std::int32_t>(std::min<std::int64_t>(count, bulkEnd_ - delivered_)));
        } else if (delivered_ < size_) {
            n = source_.Read(buffer, 1);
        } else if (delivered_ < end_) {
            *static_cast<std::uint8_t*>(buffer) = padding_;
            n = 1;
        }
        delivered_ += n;
        return n;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return -1; }

    // Bytes the decoder has taken, exactly once it has read into the last kTail bytes; until then
    // at most the bytes before them.
    std::int64_t Taken() const noexcept { return delivered_; }
    // The stream's size; for a stream read forward whose end never came in sight, a size more
    // than kTail bytes past what the decoder took (all a verdict needs to know).
    std::int64_t StreamSize() {
        if (size_ >= 0) return size_;
        return delivered_ + static_cast<std::int64_t>(forward_->Peek(kTail + 1).size());
    }

private:
    TStream& source_;
    TForwardStream* forward_ = nullptr;
    std::int64_t size_ = -1;
    std::int64_t bulkEnd_ = 0;
    std::int64_t end_ = 0;
    const std::int32_t paddingSize_;
    const std::uint8_t padding_;
    std::int64_t delivered_ = 0;
};

// Passes the first limit bytes on to dest and drops the rest (a match copied past the size).
class LimitedOutput final : public TStream {
public:
    LimitedOutput(TStream& dest, std::int64_t limit) noexcept : dest_(dest), limit_(limit) {}

    std::int32_t Write(const void* buffer, std::int32_t count) override {
        if (count <= 0) return 0;
        const auto pass = static_cast<std::int32_t>(std::clamp<std::int64_t>(limit_ - written_, 0, count));
        if (pass > 0) dest_.WriteBuffer(buffer, pass);
        written_ += pass;
        return count;
    }
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return -1; }

    std::int64_t Written() const noexcept { return written_; }

private:
    TStream& dest_;
    const std::int64_t limit_;
    std::int64_t written_ = 0;
};

}  // namespace

namespace {

RawExpansion Expand(const CodecSettings& settings, TStream& dest, MeteredInput& input, CompressMethod method,
                    std::int32_t expandedSize) {
    const std::int64_t limit = expandedSize < 0 ? std::numeric_limits<std::int64_t>::max() : expandedSize;
    LimitedOutput output(dest, limit);
    const std::int32_t destSize = std::max(0, expandedSize);
    // The codecs' own behaviour (zero bits past the end, a last match written whole): the verdict
    // comes from the metering above, and --partial keeps what they decoded.
    CodecSettings own = settings;
    own.CheckedExpansion = false;
    const CodecResult result = ExpandCodec(own, output, input, input.EngineSize(), destSize, method);

    RawExpansion r;
    r.Produced = result.OutputCount;
    r.Written = output.Written();
    r.Checksum = result.Checksum;
    const std::int64_t size = input.StreamSize();
    const std::int64_t taken = input.Taken();
    if (method == cmRLE) {
        if (expandedSize >= 0 && r.Produced < expandedSize) r.Fit = StreamFit::EndsFirst;
        if (expandedSize >= 0 && r.Produced > expandedSize) r.Fit = StreamFit::HoldsMore;
    } else if (expandedSize == 0) {
        // The decoders read nothing for an empty output.
        r.Fit = size == 0 ? StreamFit::Exact : StreamFit::HoldsMore;
    } else if (method == cmLH5) {
        if (taken >= size + 3)
            r.Fit = StreamFit::EndsFirst;
        else if (taken <= size + 1 || r.Produced > expandedSize)
            r.Fit = StreamFit::HoldsMore;
    } else if (method == cmLZH) {
        const std::int64_t bits = result.InputBitsUsed;
        if (bits > 8 * size)
            r.Fit = StreamFit::EndsFirst;
        else if (bits <= 8 * (size - 1) || r.Produced > expandedSize)
            r.Fit = StreamFit::HoldsMore;
    }
    return r;
}

// RLE reads until its input ends, so it gets no padding.
std::int32_t PaddingFor(CompressMethod method) { return method == cmRLE ? 0 : kPadding; }

}  // namespace

RawExpansion ExpandRawStream(const CodecSettings& settings, TStream& dest, TStream& source, std::int32_t sourceSize,
                             CompressMethod method, std::int32_t expandedSize) {
    if (sourceSize > kLargestRawStream) throw EInvalidSize("Input larger than 2 GB");
    MeteredInput input(source, sourceSize, PaddingFor(method), 0);
    return Expand(settings, dest, input, method, expandedSize);
}

RawExpansion ExpandRawStream(const CodecSettings& settings, TStream& dest, TForwardStream& source,
                             CompressMethod method, std::int32_t expandedSize) {
    MeteredInput input(source, PaddingFor(method), 0);
    return Expand(settings, dest, input, method, expandedSize);
}

}  // namespace qvx::cli
