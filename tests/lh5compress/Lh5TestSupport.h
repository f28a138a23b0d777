// Helpers for the LH5 compression tests: run the engine in either direction over byte vectors,
// count the encoder's ReadByte calls, and collect the items the parse chooses.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "lh5/encode/LiveMatches.h"

namespace qvx::lh5test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes FromText(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A source that hands out at most one byte per read and then claims more input than it has, so
// that every ReadByte of the engine is exactly one Read call, also past the end of the data.
class OneByteSource final : public TStream {
public:
    explicit OneByteSource(const Bytes& data) : data_(data) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        ++reads_;
        if (count <= 0 || pos_ >= data_.size()) return 0;
        static_cast<std::uint8_t*>(buffer)[0] = data_[pos_++];
        return 1;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return static_cast<std::int64_t>(pos_); }
    std::int64_t Reads() const noexcept { return reads_; }

private:
    const Bytes& data_;
    std::size_t pos_ = 0;
    std::int64_t reads_ = 0;
};

// Compresses with LH5 through RunCodec. The output limit is lifted well above the input size so
// that exact-byte cases larger than their input can be checked.
inline Bytes Compress(const Bytes& input, std::uint32_t* checksum = nullptr, TShowProgressEvent progress = {},
                      std::int32_t minimumSaving = -(1 << 20)) {
    TQuorvexCompress component;
    component.SetMinimumSaving(minimumSaving);
    component.SetOnShowProgress(std::move(progress));
    TMemoryStream source(input);
    TMemoryStream dest;
    std::uint32_t sum = 0xDEADBEEF;
    const auto count = RunCodec(component, dest, source, static_cast<std::int32_t>(input.size()), 0, cmLH5, sum, false);
    if (checksum != nullptr) *checksum = sum;
    Bytes out = dest.TakeData();
    if (static_cast<std::size_t>(count) != out.size()) out.clear();  // make a count mismatch visible
    return out;
}

inline Bytes Expand(const Bytes& stream, std::int32_t destSize, std::uint32_t* checksum = nullptr) {
    TQuorvexCompress component;
    TMemoryStream source(stream);
    TMemoryStream dest;
    std::uint32_t sum = 0;
    RunCodec(component, dest, source, static_cast<std::int32_t>(stream.size()), destSize, cmLH5, sum, true);
    if (checksum != nullptr) *checksum = sum;
    return dest.TakeData();
}

struct Item {
    unsigned symbol;    // 0..255 literal, 256..509 match of symbol - 253 bytes
    unsigned position;  // position code of a match (distance - 1)
    bool operator==(const Item&) const = default;
    bool IsMatch() const noexcept { return symbol >= 256; }
    unsigned Length() const noexcept { return IsMatch() ? symbol - 253 : 1; }
};

struct RecordingSink {
    void RecordItem(unsigned c, unsigned p) { items.push_back({c, c >= 256 ? p : 0}); }
    std::vector<Item> items;
};

// The items the encoder's parse chooses for the input.
inline std::vector<Item> ParseItems(const Bytes& input) {
    TMemoryStream source(input);
    TNullStream dest;
    CodecEngine engine(dest, source, static_cast<std::int32_t>(input.size()), 0x7FFFFFFF, {});
    auto finder = std::make_unique<lh5::StreamFinder>();
    lh5::EncoderInput in(engine);
    RecordingSink sink;
    lh5::ParseInput(*finder, in, sink);
    return sink.items;
}

// Rebuilds the input from parse items (what a decoder would produce), for checking a parse alone.
inline Bytes ReplayItems(const std::vector<Item>& items) {
    Bytes out;
    for (const Item& it : items) {
        if (!it.IsMatch()) {
            out.push_back(static_cast<std::uint8_t>(it.symbol));
            continue;
        }
        for (unsigned k = 0; k < it.Length(); ++k) {
            const std::size_t back = it.position + 1;
            out.push_back(back <= out.size() ? out[out.size() - back] : std::uint8_t{0x20});
        }
    }
    return out;
}

inline Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

}  // namespace qvx::lh5test
