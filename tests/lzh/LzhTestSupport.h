// Helpers shared by the LZH tests: running the codec over byte vectors, and writing hand-made LZH
// streams symbol by symbol.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "lzh/AdaptiveModel.h"
#include "lzh/encode/LzhCompress.h"
#include "lzh/OffsetCode.h"

namespace qvx::lzhtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Compresses through RunCodec (output limit: the input size).
inline Bytes CompressRun(const Bytes& in, std::uint32_t* checksum = nullptr) {
    TQuorvexCompress component;
    TMemoryStream source(in), dest;
    std::uint32_t sum = 0xDEADBEEF;
    const auto n = RunCodec(component, dest, source, static_cast<std::int32_t>(in.size()), 0, cmLZH, sum, false);
    if (checksum) *checksum = sum;
    Bytes out = dest.TakeData();
    EXPECT_EQ(static_cast<std::size_t>(n), out.size());
    return out;
}

// Compresses without an output limit, so that incompressible data can be coded too.
inline Bytes CompressUnlimited(const Bytes& in) {
    TMemoryStream source(in), dest;
    CodecEngine engine(dest, source, static_cast<std::int32_t>(in.size()), CodecEngine::kExpandOutputLimit, {});
    lzh::LzhCompress(engine);
    engine.FlushOutput();
    return dest.TakeData();
}

// Expands through RunCodec with the codec's own behaviour (unchecked: zero bits past the end of
// the input, a last match written whole).
inline Bytes ExpandRun(const Bytes& stream, std::int32_t expandedSize, std::uint32_t* checksum = nullptr,
                       std::int64_t* bitsUsed = nullptr) {
    CodecSettings settings;
    settings.CheckedExpansion = false;
    TMemoryStream source(stream), dest;
    const CodecResult r =
        RunCodec(settings, dest, source, static_cast<std::int32_t>(stream.size()), expandedSize, cmLZH, true);
    if (checksum) *checksum = r.Checksum;
    if (bitsUsed) *bitsUsed = r.InputBitsUsed;
    return dest.TakeData();
}

inline std::uint32_t Sum(const Bytes& b) {
    std::uint32_t s = 0;
    for (auto v : b) s += v;
    return s;
}

// The code of symbol s in the model, root first, as a string of '0' and '1'.
inline std::string CodeOf(const lzh::AdaptiveModel& m, int s) {
    std::string code;
    for (int k = m.LeafOf(s); k != lzh::AdaptiveModel::kRoot; k = m.NodeParent[k])
        code.insert(code.begin(), (k & 1) ? '1' : '0');
    return code;
}

// Writes an LZH stream item by item, with its own model and bit packing.
class StreamWriter {
public:
    StreamWriter() { model_.ModelInit(); }

    void Literal(std::uint8_t b) { Symbol(b); }
    void Match(int length, int offset) {
        Symbol(length + 253);
        const auto u = static_cast<std::size_t>(offset >> 6);
        const unsigned len = lzh::OffsetCodeLen[u];
        for (unsigned i = 0; i < len; ++i) Bit((lzh::OffsetCode[u] >> (7 - i)) & 1);
        for (int i = 5; i >= 0; --i) Bit((offset >> i) & 1);
    }
    Bytes Finish() {
        Bytes out = bytes_;
        if (count_ > 0) out.push_back(static_cast<std::uint8_t>(acc_ << (8 - count_)));
        return out;
    }

private:
    void Symbol(int s) {
        for (char c : CodeOf(model_, s)) Bit(c == '1');
        model_.ModelUpdate(s);
    }
    void Bit(unsigned b) {
        acc_ = (acc_ << 1) | (b & 1);
        if (++count_ == 8) {
            bytes_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ = 0;
            count_ = 0;
        }
    }

    lzh::AdaptiveModel model_;
    Bytes bytes_;
    unsigned acc_ = 0;
    unsigned count_ = 0;
};

}  // namespace qvx::lzhtest
