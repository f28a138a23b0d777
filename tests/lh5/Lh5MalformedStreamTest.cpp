#include <gtest/gtest.h>

#include <random>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "Lh5TestEncoder.h"
#include "Lh5TestSupport.h"

namespace qvx::lh5 {
namespace {

using namespace lh5test;
using Bytes = std::vector<std::uint8_t>;

void ExpectBadTable(const Bytes& stream, std::int32_t Destsize = 100) {
    EXPECT_THROW(ExpandLh5(stream, Destsize), ELZHBadDecodeTable);
}

// Writes a small code's count and lengths as given (no trimming), with the 2-bit skip field 0
// after the third entry when special is 3.
void WriteRawSmallLengths(BitWriter& w, unsigned nbit, const std::vector<unsigned>& lengths, unsigned special) {
    w.WriteBits(nbit, static_cast<std::uint32_t>(lengths.size()));
    for (std::size_t i = 0; i < lengths.size();) {
        const unsigned k = lengths[i++];
        if (k < 7) {
            w.WriteBits(3, k);
        } else {
            w.WriteBits(3, 7);
            for (unsigned m = 7; m < k; ++m) w.WriteBit(1);
            if (k < 20) w.WriteBit(0);
        }
        if (i == special) w.WriteBits(2, 0);
    }
}

TEST(Lh5Malformed, CodeLengthAboveSixteen) {
    for (unsigned bad : {17u, 18u, 20u}) {
        BitWriter w;
        w.WriteBits(16, 1);
        WriteRawSmallLengths(w, 5, {1, bad, 1}, 3);
        ExpectBadTable(w.Bytes());
    }
}

TEST(Lh5Malformed, OverFullAndIncompleteSmallCodes) {
    BitWriter over;
    over.WriteBits(16, 1);
    WriteRawSmallLengths(over, 5, {1, 1, 1, 1}, 3);  // weighted sum 131072
    ExpectBadTable(over.Bytes());
    BitWriter incomplete;
    incomplete.WriteBits(16, 1);
    WriteRawSmallLengths(incomplete, 5, {1, 2}, 3);
    ExpectBadTable(incomplete.Bytes());
}

TEST(Lh5Malformed, SingleSymbolOutsideTheAlphabet) {
    BitWriter cl;  // code-length code: symbol 19 of 19
    cl.WriteBits(16, 1);
    cl.WriteBits(5, 0);
    cl.WriteBits(5, 19);
    ExpectBadTable(cl.Bytes());
    BitWriter lit;  // literal/length code: symbol 510
    lit.WriteBits(16, 1);
    lit.WriteBits(5, 0);
    lit.WriteBits(5, 0);
    lit.WriteBits(9, 0);
    lit.WriteBits(9, 510);
    ExpectBadTable(lit.Bytes());
    BitWriter pos;  // position code: symbol 14
    pos.WriteBits(16, 1);
    pos.WriteBits(5, 0);
    pos.WriteBits(5, 0);
    pos.WriteBits(9, 0);
    pos.WriteBits(9, 'a');
    pos.WriteBits(4, 0);
    pos.WriteBits(4, 14);
    ExpectBadTable(pos.Bytes());
}

TEST(Lh5Malformed, ZeroRunPastTheLiteralAlphabet) {
    for (unsigned start : {0u, 489u, 500u, 509u}) {
        SCOPED_TRACE(start);
        StreamWriter s;
        s.Bits.WriteBits(16, 1);
        s.WriteSmallLengths(s.CodeLengthLengths, 5, 3);
        s.Bits.WriteBits(9, 511);
        // Lengths before the run: single zero lengths (code-length symbol 0).
        const auto codes = CanonicalCodes(s.CodeLengthLengths);
        for (unsigned i = 0; i < start; ++i) s.Bits.WriteBits(s.CodeLengthLengths[0], codes[0]);
        s.Bits.WriteBits(s.CodeLengthLengths[2], codes[2]);
        const unsigned run = std::max(20u, 511 - start);  // at least one zero too many
        s.Bits.WriteBits(9, run - 20);
        ExpectBadTable(s.Bits.Bytes());
    }
}

TEST(Lh5Malformed, CountsBeyondTheAlphabetAreReadAndIgnored) {
    // Code-length code with 25 entries (the six beyond 19 are read, even one of 20) and a literal
    // count of 511 whose last entry is ignored; the block then decodes normally.
    StreamWriter s;
    s.Bits.WriteBits(16, 2);
    std::vector<unsigned> cl(s.CodeLengthLengths.begin(), s.CodeLengthLengths.end());
    for (unsigned extra : {3u, 20u, 0u, 16u, 1u, 7u}) cl.push_back(extra);
    WriteRawSmallLengths(s.Bits, 5, cl, 3);
    const auto codes = CanonicalCodes(s.CodeLengthLengths);
    s.Bits.WriteBits(9, 511);
    // Literal lengths: 'A' and 'B' one bit each, everything else 0, then a length for index 510.
    auto sym = [&](unsigned t) { s.Bits.WriteBits(s.CodeLengthLengths[t], codes[t]); };
    sym(2);
    s.Bits.WriteBits(9, 65 - 20);
    sym(3);
    sym(3);
    sym(2);
    s.Bits.WriteBits(9, 510 - 67 - 20);
    sym(18);  // index 510: read and not used
    // Position code with 15 entries: single 0 length ... use lengths {1, 1} plus 13 zeros.
    WriteRawSmallLengths(s.Bits, 4, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}, 0);
    s.Bits.WriteBits(1, 1);  // 'B'
    s.Bits.WriteBits(1, 0);  // 'A'
    EXPECT_EQ(ExpandLh5(s.Bits.Bytes(), 2).Output, (Bytes{'B', 'A'}));
}

TEST(Lh5Malformed, EmptyCodeFailsOnlyWhenUsed) {
    // A position code whose one length is 0 has no symbols: fine for a block of literals, an error
    // as soon as a match needs a position.
    auto stream = [](bool withMatch) {
        BitWriter w;
        w.WriteBits(16, 2);
        w.WriteBits(5, 0);
        w.WriteBits(5, 0);
        w.WriteBits(9, 0);
        w.WriteBits(9, withMatch ? 256 : 'k');
        w.WriteBits(4, 1);
        w.WriteBits(3, 0);
        return w.Bytes();
    };
    EXPECT_EQ(ExpandLh5(stream(false), 2).Output, (Bytes{'k', 'k'}));
    ExpectBadTable(stream(true));
}

// Runs one stream; a decode either succeeds or reports a bad table, nothing else.
int Outcome(const Bytes& stream, std::int32_t Destsize) {
    try {
        const auto r = ExpandLh5(stream, Destsize, -1, TQuorvexCompress{}, CodecEngine::kBlockSize);
        EXPECT_GE(static_cast<std::int64_t>(r.Output.size()), Destsize);
        EXPECT_LE(static_cast<std::int64_t>(r.Output.size()), static_cast<std::int64_t>(Destsize) + 255);
        EXPECT_LE(r.SourcePosition, static_cast<std::int64_t>(stream.size()));
        return 0;
    } catch (const ELZHBadDecodeTable&) {
        return 1;
    }
}

TEST(Lh5Malformed, RandomAndMutatedStreamsAreSafe) {
    std::mt19937 rng(20261207);
    int outcomes[2] = {0, 0};
    // Random bytes.
    for (int round = 0; round < 400; ++round) {
        Bytes stream(rng() % 200);
        for (auto& b : stream) b = static_cast<std::uint8_t>(rng());
        ++outcomes[Outcome(stream, static_cast<std::int32_t>(rng() % 3000))];
    }
    // Valid streams with flipped bits, changed bytes and cut ends.
    std::vector<Bytes> seeds;
    for (std::uint32_t seed = 0; seed < 6; ++seed) {
        Bytes data(2000 + seed * 700);
        std::mt19937 gen(seed);
        for (auto& b : data) b = static_cast<std::uint8_t>('a' + gen() % (3 + seed * 5));
        seeds.push_back(EncodeLh5(data, 400, seed % 2 == 0));
    }
    for (int round = 0; round < 1200; ++round) {
        Bytes stream = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % stream.size();
            switch (rng() % 3) {
                case 0: stream[at] = static_cast<std::uint8_t>(stream[at] ^ (1u << (rng() % 8))); break;
                case 1: stream[at] = static_cast<std::uint8_t>(rng()); break;
                default: stream.resize(at + 1); break;
            }
        }
        ++outcomes[Outcome(stream, static_cast<std::int32_t>(2000 + rng() % 3000))];
    }
    // Both outcomes occur: the generator reaches the checks and also gets through them.
    EXPECT_GT(outcomes[0], 100);
    EXPECT_GT(outcomes[1], 100);
}

}  // namespace
}  // namespace qvx::lh5
