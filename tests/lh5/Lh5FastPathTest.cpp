// The LH5 decoder decodes most symbols in a fast loop and the rest one at a time. Which of the two
// decodes a symbol depends on how many input bytes the engine's buffer holds, so expanding the same
// stream from a source that delivers 1, 9, 17 or 8192 bytes per read mixes the two differently:
// the output, the checksum and the failure point must not change.
#include <gtest/gtest.h>

#include <random>

#include <instcompress/Exceptions.h>
#include "Lh5TestEncoder.h"
#include "Lh5TestSupport.h"
#include "TestSupport.h"

namespace qvx::lh5 {
namespace {

using namespace lh5test;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kPieces[] = {1, 9, 17, 8192};

// Data with matches of every length and distance, runs (distance 1 to 7) and literals.
Bytes MixedData(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < size) {
        const auto kind = rng() % 4;
        if (kind == 0 || d.size() < 8) {
            for (auto k = rng() % 40; k > 0; --k) d.push_back(static_cast<std::uint8_t>(rng()));
        } else if (kind == 1) {
            const std::size_t back = 1 + rng() % 7, len = 3 + rng() % 300;
            for (std::size_t k = 0; k < len; ++k) d.push_back(d[d.size() - back]);
        } else {
            const std::size_t back = 1 + rng() % std::min<std::size_t>(d.size(), 8192), len = 3 + rng() % 254;
            for (std::size_t k = 0; k < len; ++k) d.push_back(d[d.size() - back]);
        }
    }
    d.resize(size);
    return d;
}

// Literal codes longer than the 12-bit table (13 and 14 bits), as in a block of rare bytes.
Bytes LongCodeStream(const Bytes& data) {
    std::vector<std::uint8_t> lengths(510, 14);
    for (unsigned k = 0; k < 5; ++k) lengths['a' + k] = static_cast<std::uint8_t>(k + 1);
    for (unsigned s = 0, made = 0; made < 7; ++s) {
        if (s >= 'a' && s < 'a' + 5) continue;
        lengths[s] = 13;
        ++made;
    }
    const auto items = Parse(data);
    StreamWriter w;
    w.WriteHeader(static_cast<unsigned>(items.size()), lengths, FlatLengths(14));
    for (const auto& it : items) w.WriteItem(it);
    return w.Bits.Bytes();
}

Bytes LongCodeData() {
    Bytes d = MixedData(30000, 5);
    for (std::size_t i = 0; i < d.size(); i += 2) d[i] = static_cast<std::uint8_t>('a' + d[i] % 5);
    return d;
}

Bytes CompressLh5(const Bytes& plain) {
    TQuorvexCompress component;
    component.SetMinimumSaving(std::numeric_limits<std::int32_t>::min());
    test::ProbeStream src(plain), dst;
    std::uint32_t checksum = 0;
    RunCodec(component, dst, src, static_cast<std::int32_t>(plain.size()), 0, cmLH5, checksum, false);
    return dst.Data();
}

TEST(Lh5FastPath, EveryMixOfFastAndCarefulDecodingGivesTheSameBytes) {
    struct Case {
        const char* name;
        Bytes plain;
        Bytes stream;
    };
    const Bytes mixed = MixedData(200000, 1);
    const Bytes longCodes = LongCodeData();
    const Bytes zeros(300000, 0);
    const std::vector<Case> cases = {
        {"encoder output", mixed, CompressLh5(mixed)},
        {"small blocks", mixed, EncodeLh5(mixed, 300)},
        {"flat codes", mixed, EncodeLh5(mixed, 5000, true)},
        {"codes longer than the table", longCodes, LongCodeStream(longCodes)},
        {"symbols of no bits", zeros, CompressLh5(zeros)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::int32_t piece : kPieces) {
            SCOPED_TRACE(piece);
            const auto r =
                ExpandLh5(c.stream, static_cast<std::int32_t>(c.plain.size()), -1, TQuorvexCompress{}, piece);
            ASSERT_EQ(r.Output, c.plain);
            EXPECT_EQ(r.Checksum, ByteSum(c.plain.data(), c.plain.size(), 0));
            EXPECT_EQ(r.SourcePosition, static_cast<std::int64_t>(c.stream.size()));
        }
    }
}

TEST(Lh5FastPath, ABrokenCodeFailsWithTheSameOutputWrittenBefore) {
    // A good block, then a block whose position code has no symbol: its first match fails.
    const Bytes plain = MixedData(40000, 2);
    StreamWriter w;
    w.WriteBlocks(Parse(plain));
    w.Bits.WriteBits(16, 50);
    w.Bits.WriteBits(5, 0);
    w.Bits.WriteBits(5, 0);
    w.Bits.WriteBits(9, 0);
    w.Bits.WriteBits(9, 300);  // every symbol a match of 47
    w.Bits.WriteBits(4, 1);
    w.Bits.WriteBits(3, 0);  // one position length, 0
    for (int k = 0; k < 64; ++k) w.Bits.WriteBits(8, 0xA5);
    const Bytes stream = w.Bits.Bytes();
    for (const std::int32_t piece : kPieces) {
        SCOPED_TRACE(piece);
        lh5test::TrickleStream source(stream, piece);
        test::ProbeStream dest;
        std::uint32_t checksum = 0;
        EXPECT_THROW(RunCodec(TQuorvexCompress{}, dest, source, static_cast<std::int32_t>(stream.size()),
                              static_cast<std::int32_t>(plain.size()) + 1000, cmLH5, checksum, true),
                     ELZHBadDecodeTable);
        // The whole blocks of the good part are out; the rest stayed in the engine's buffer.
        ASSERT_EQ(dest.Data().size(), plain.size() / 8192 * 8192);
        EXPECT_TRUE(std::equal(dest.Data().begin(), dest.Data().end(), plain.begin()));
    }
}

TEST(Lh5FastPath, ACancelReadsTheRestAsZeroBitsWhateverTheReadSize) {
    // Cancelling at the second progress call leaves only the first block's bytes; expanding the
    // stream cut after them (the source then ends early) must give the same output, whichever
    // loop met the end.
    const Bytes plain = MixedData(600000, 3);
    const Bytes stream = CompressLh5(plain);
    ASSERT_GT(stream.size(), 2u * 8192);
    TQuorvexCompress cancelling;
    int calls = 0;
    cancelling.SetOnShowProgress([&calls](std::int32_t& pct) {
        if (++calls == 2) pct = -1;
    });
    const auto size = static_cast<std::int32_t>(plain.size());
    const Bytes cut(stream.begin(), stream.begin() + 8192);
    const auto expected = ExpandLh5(cut, size, static_cast<std::int32_t>(stream.size()), TQuorvexCompress{}, 8192);
    ASSERT_GE(expected.Output.size(), plain.size());  // a last match may reach past the size
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 8192, expected.Output.begin()));
    const auto cancelled = ExpandLh5(stream, size, -1, cancelling, 8192);
    EXPECT_EQ(cancelled.Output, expected.Output);
    EXPECT_EQ(calls, 2);
}

TEST(Lh5FastPath, ACheckedExpansionStopsWhereTheStoredBytesRunOutWhateverTheReadSize) {
    // Streams cut short and sizes asked too large or too small. The reference is the codec's own
    // run over the cut stream followed by zero bytes, read one byte at a time: the decoder used bits
    // past the cut exactly when it took 3 or more bytes past it (its look-ahead takes at most 2).
    // Checked, that is "ends before"; a last match past the size is "expands past"; otherwise the
    // output is the reference's. Whichever loop meets the end, the verdict and the bytes are the same.
    const Bytes plain = MixedData(20000, 4);
    const Bytes full = CompressLh5(plain);
    const auto size = static_cast<std::int32_t>(plain.size());
    std::vector<std::pair<std::size_t, std::int32_t>> runs;  // (bytes kept, size asked)
    for (std::size_t cut = 0; cut <= 40; ++cut) runs.emplace_back(full.size() - cut, size);
    for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, full.size() / 2})
        runs.emplace_back(keep, size);
    for (std::int32_t asked : {size - 1, size - 2, size - 100, size / 2, size + 1})
        runs.emplace_back(full.size(), asked);
    int endsEarly = 0, runsPast = 0, exact = 0;
    for (const auto& [keep, asked] : runs) {
        SCOPED_TRACE(::testing::Message() << keep << " bytes, size " << asked);
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep));
        Bytes padded = cut;
        padded.resize(keep + 4, 0);
        ExpandResult reference;
        try {
            reference = ExpandLh5(padded, asked);
        } catch (const ELZHBadDecodeTable&) {
            // Zero bits past the cut can describe a broken code; it is met past the cut or before.
            for (const std::int32_t piece : kPieces) {
                try {
                    ExpandLh5(cut, asked, -1, TQuorvexCompress{}, piece, true);
                    ADD_FAILURE() << "expanded " << piece;
                } catch (const EDataError& e) {
                    EXPECT_EQ(e.Message(), kDataEndsEarlyMessage);
                } catch (const ELZHBadDecodeTable&) {
                }
            }
            continue;
        }
        const bool early = reference.SourcePosition >= static_cast<std::int64_t>(keep) + 3;
        const bool past = !early && reference.Output.size() > static_cast<std::size_t>(asked);
        early ? ++endsEarly : past ? ++runsPast : ++exact;
        for (const std::int32_t piece : kPieces) {
            SCOPED_TRACE(piece);
            const auto run = [&] { return ExpandLh5(cut, asked, -1, TQuorvexCompress{}, piece, true); };
            if (early) {
                EXPECT_EQ(test::MessageOf<EDataError>(run), kDataEndsEarlyMessage);
            } else if (past) {
                EXPECT_EQ(test::MessageOf<EDataError>(run), kDataRunsPastSizeMessage);
            } else {
                EXPECT_EQ(run().Output, reference.Output);
            }
        }
    }
    EXPECT_GT(endsEarly, 30);
    EXPECT_GT(runsPast, 0);
    EXPECT_GE(exact, 2);
}

}  // namespace
}  // namespace qvx::lh5
