// The LH5 encoder, single-threaded and with its match search spread over threads, against the
// frozen reference copy in fuzz/reference/lh5: the same input, read in the same pieces and
// cancelled at the same progress call, must give the same compressed bytes (or the same refusal at
// the output limit). Input: one byte choosing the source's piece size; one byte choosing the
// progress call that cancels (0: none) and whether the data is grown to 160 KB (the top three bits
// all set: a slow run, so one input in eight); one byte choosing the output limit and the threaded
// encoder's chunk length and warm-up (short chunks, so that a short input has many, some of which
// are redone); then the data.
#include <cstdlib>
#include <functional>
#include <vector>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>

#include "FuzzSupport.h"
#include "lh5/encode/Lh5Compress.h"
#include "lh5/encode/Lh5ParallelCompress.h"
#include "reference/lh5/ReferenceLh5Compress.h"

using namespace qvx;

namespace {

// Delivers at most `piece` bytes per read.
class PieceSource final : public TStream {
public:
    PieceSource(std::span<const std::uint8_t> data, std::int32_t piece) : data_(data), piece_(piece) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const auto left = static_cast<std::int64_t>(data_.size()) - position_;
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>({count, piece_, left}));
        if (n <= 0) return 0;
        std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return position_; }

private:
    std::span<const std::uint8_t> data_;
    std::int32_t piece_;
    std::int64_t position_ = 0;
};

struct Result {
    std::vector<std::uint8_t> bytes;
    bool refused = false;
    std::uint32_t inputChecksum = 0;
    int progressCalls = 0;
};

Result Run(const std::function<void(CodecEngine&)>& compress, std::span<const std::uint8_t> data, std::int32_t piece,
           int cancelAt, std::int32_t limit) {
    Result r;
    PieceSource source(data, piece);
    TMemoryStream dest;
    TShowProgressEvent progress = [&r, cancelAt](std::int32_t& percent) {
        if (++r.progressCalls == cancelAt) percent = -1;
    };
    CodecEngine engine(dest, source, static_cast<std::int32_t>(data.size()), limit, progress, {});  // no yield
    try {
        compress(engine);
        engine.FlushOutput();
    } catch (const EUnableToCompress&) {
        r.refused = true;
    }
    r.bytes = dest.Data();
    r.inputChecksum = engine.InputChecksum();
    return r;
}

// 160 KB from a short seed: copies of it, each with a byte added and a different start, so that
// matches reach across the copies at many distances.
std::vector<std::uint8_t> Grow(std::span<const std::uint8_t> seed) {
    std::vector<std::uint8_t> d;
    if (seed.empty()) return d;
    std::uint32_t x = 2463534242u;
    while (d.size() < 160000) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        const std::size_t from = x % seed.size();
        d.insert(d.end(), seed.begin() + static_cast<std::ptrdiff_t>(from), seed.end());
        d.push_back(static_cast<std::uint8_t>(x >> 8));
    }
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static constexpr std::int32_t kPieces[] = {8192, 1, 7, 100, 4096, 8191, 3000, 65536};
    const std::int32_t piece = kPieces[data[0] % 8];
    const int cancelAt = data[1] % 4;
    const bool grow = (data[1] & 0xE0) == 0xE0;
    std::span<const std::uint8_t> seed(data + 3, size - 3);
    const std::vector<std::uint8_t> grown = grow ? Grow(seed) : std::vector<std::uint8_t>{};
    const std::span<const std::uint8_t> input = grow ? std::span<const std::uint8_t>(grown) : seed;
    // Mostly no limit; sometimes a limit the output may reach.
    const auto limit = data[2] < 200 ? 0x7FFFFFFF : static_cast<std::int32_t>(input.size() * (data[2] - 200) / 55);

    const Result reference = Run(lh5ref::ReferenceLh5Compress, input, piece, cancelAt, limit);
    if (!grow) {
        const Result library = Run([](CodecEngine& e) { lh5::Lh5Compress(e); }, input, piece, cancelAt, limit);
        if (library.bytes != reference.bytes || library.refused != reference.refused ||
            library.inputChecksum != reference.inputChecksum || library.progressCalls != reference.progressCalls)
            std::abort();
    }
    // The threads read ahead of the output, so after a refusal they may have read (and reported)
    // more of the input; everything else is the same.
    const int cycles = 2 + data[2] % 5;
    const int warm = 1 + (data[2] / 5) % (cycles - 1);
    lh5::ParallelOptions options;
    options.threads = 2 + (data[2] / 25) % 3;
    options.warmUpCycles = warm;
    options.chunkCycles = cycles;
    const Result parallel =
        Run([&options](CodecEngine& e) { lh5::Lh5CompressParallel(e, options); }, input, piece, cancelAt, limit);
    if (parallel.bytes != reference.bytes || parallel.refused != reference.refused) std::abort();
    if (!reference.refused &&
        (parallel.inputChecksum != reference.inputChecksum || parallel.progressCalls != reference.progressCalls))
        std::abort();
    return 0;
}
