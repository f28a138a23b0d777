#include <gtest/gtest.h>

#include <memory>
#include <random>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "Lh5TestEncoder.h"
#include "Lh5TestSupport.h"
#include "lh5/decode/Lh5Decoder.h"

namespace qvx::lh5 {
namespace {

using namespace lh5test;
using Bytes = std::vector<std::uint8_t>;

Bytes Repeat(std::uint8_t b, std::size_t n) { return Bytes(n, b); }

// Header pieces in the single-symbol form.
void WriteSingleCodeLengthCode(BitWriter& w) {
    w.WriteBits(5, 0);
    w.WriteBits(5, 0);
}
void WriteSingleLiteral(BitWriter& w, unsigned c) {
    w.WriteBits(9, 0);
    w.WriteBits(9, c);
}
void WriteSinglePosition(BitWriter& w, unsigned p) {
    w.WriteBits(4, 0);
    w.WriteBits(4, p);
}

Bytes RandomData(std::size_t size, std::uint32_t seed, unsigned alphabet = 256) {
    std::mt19937 rng(seed);
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() % alphabet);
    return data;
}

// Text-like data with repeats at all distances up to the window size.
Bytes CompressibleData(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < size) {
        if (data.size() > 16 && rng() % 3 != 0) {
            const std::size_t back = 1 + rng() % std::min<std::size_t>(data.size(), 9000);
            const std::size_t len = 3 + rng() % 300;
            const std::size_t from = data.size() - back;
            for (std::size_t k = 0; k < len && data.size() < size; ++k) data.push_back(data[from + k]);
        } else {
            const std::size_t len = 1 + rng() % 20;
            for (std::size_t k = 0; k < len && data.size() < size; ++k)
                data.push_back(static_cast<std::uint8_t>('a' + rng() % 26));
        }
    }
    return data;
}

void ExpectRoundTrip(const Bytes& data, const Bytes& stream) {
    const auto r = ExpandLh5(stream, static_cast<std::int32_t>(data.size()));
    ASSERT_EQ(r.Output.size(), data.size());
    EXPECT_TRUE(r.Output == data);
    EXPECT_EQ(r.Checksum, ByteSum(data.data(), data.size()));
    // The decoder pulls the whole stream (it ends within the 16-bit look-ahead) and no more.
    EXPECT_EQ(r.SourcePosition, static_cast<std::int64_t>(stream.size()));
}

TEST(Lh5Expand, SingleSymbolBlockOfTenLetters) {
    const auto r = ExpandLh5({0x00, 0x0A, 0x00, 0x00, 0x04, 0x10, 0x00}, 10);
    EXPECT_EQ(r.Output, Repeat(0x41, 10));
    EXPECT_EQ(r.Checksum, 650u);
}

TEST(Lh5Expand, LiteralAndMatchWithRealCodes) {
    const auto r = ExpandLh5({0x00, 0x02, 0x20, 0x04, 0x30, 0x10, 0xB6, 0x55, 0x40, 0x10}, 4);
    EXPECT_EQ(r.Output, Repeat(0x41, 4));
}

TEST(Lh5Expand, StreamsOfTheEncoderLayout) {
    // One literal 0x61 in single-symbol form, and 0x61 x4 as a literal plus a match.
    EXPECT_EQ(ExpandLh5({0x00, 0x01, 0x00, 0x00, 0x06, 0x10, 0x00}, 1).Output, Bytes{0x61});
    EXPECT_EQ(ExpandLh5({0x00, 0x02, 0x20, 0x04, 0x30, 0x11, 0x36, 0x45, 0x40, 0x10}, 4).Output, Repeat(0x61, 4));
}

TEST(Lh5Expand, ZeroDestsizeReadsAndWritesNothing) {
    const auto r = ExpandLh5({0xFF, 0xFF, 0xFF, 0xFF}, 0);
    EXPECT_TRUE(r.Output.empty());
    EXPECT_EQ(r.SourcePosition, 0);
    EXPECT_EQ(r.Checksum, 0u);
}

TEST(Lh5Expand, NegativeDestsizeReadsTheFirstSixteenBitsOnly) {
    const auto r = ExpandLh5({0xFF, 0xFF, 0xFF, 0xFF}, -5);
    EXPECT_TRUE(r.Output.empty());
    EXPECT_EQ(r.SourcePosition, 2);
}

TEST(Lh5Expand, BlockSizeZeroHolds65536Symbols) {
    BitWriter w;
    w.WriteBits(16, 0);
    WriteSingleCodeLengthCode(w);
    WriteSingleLiteral(w, 'B');
    WriteSinglePosition(w, 0);
    w.WriteBits(16, 1);
    WriteSingleCodeLengthCode(w);
    WriteSingleLiteral(w, 'C');
    WriteSinglePosition(w, 0);
    const auto r = ExpandLh5(w.Bytes(), 65537);
    ASSERT_EQ(r.Output.size(), 65537u);
    EXPECT_EQ(std::count(r.Output.begin(), r.Output.end(), 'B'), 65536);
    EXPECT_EQ(r.Output.back(), 'C');
}

TEST(Lh5Expand, MatchesBeforeAnyOutputCopySpaces) {
    StreamWriter s;
    s.WriteHeader(4, FlatLengths(510), FlatLengths(14));
    s.WriteItem(Item::Match(10, 100));
    s.WriteItem(Item::Match(4, 8192));
    s.WriteItem(Item::Literal('x'));
    s.WriteItem(Item::Match(3, 1));
    Bytes want = Repeat(0x20, 14);
    want.insert(want.end(), 4, 'x');
    EXPECT_EQ(ExpandLh5(s.Bits.Bytes(), 18).Output, want);
}

TEST(Lh5Expand, DistanceOf8192CopiesTheByteProduced8192PositionsEarlier) {
    const Bytes first = RandomData(8192, 7);
    StreamWriter s;
    s.WriteHeader(8192 + 2, FlatLengths(510), FlatLengths(14));
    for (auto b : first) s.WriteItem(Item::Literal(b));
    s.WriteItem(Item::Match(20, 8192));
    s.WriteItem(Item::Match(5, 8192));
    Bytes want = first;
    for (std::size_t k = 0; k < 25; ++k) want.push_back(want[want.size() - 8192]);
    ExpectRoundTrip(want, s.Bits.Bytes());
}

TEST(Lh5Expand, ShortestAndLongestMatchLengths) {
    // Symbol 256 is a match of 3 bytes, symbol 509 one of 256; a match longer than its distance
    // repeats the last bytes.
    StreamWriter s;
    s.WriteHeader(5, FlatLengths(510), FlatLengths(14));
    s.WriteItem(Item::Literal('a'));
    s.WriteItem(Item::Literal('b'));
    s.WriteSymbol(509);
    s.WritePosition(2);
    s.WriteSymbol(256);
    s.WritePosition(1);
    s.WriteItem(Item::Literal('z'));
    Bytes want;
    for (int i = 0; i < 129; ++i) {
        want.push_back('a');
        want.push_back('b');
    }
    want.push_back('b');
    want.push_back('b');
    want.push_back('b');
    want.push_back('z');
    ExpectRoundTrip(want, s.Bits.Bytes());
}

TEST(Lh5Expand, LastMatchMayReachPastDestsize) {
    // The stop test runs between symbols: a 256-byte match is copied whole.
    StreamWriter s;
    s.WriteHeader(2, FlatLengths(510), FlatLengths(14));
    s.WriteItem(Item::Literal('q'));
    s.WriteItem(Item::Match(256, 1));
    EXPECT_EQ(ExpandLh5(s.Bits.Bytes(), 2).Output, Repeat('q', 257));
}

TEST(Lh5Expand, CodeLengthCodeWithCountThreeStillCarriesTheSkipField) {
    BitWriter w;
    w.WriteBits(16, 5);
    w.WriteBits(5, 3);  // code-length code: three lengths
    w.WriteBits(3, 1);
    w.WriteBits(3, 2);
    w.WriteBits(3, 2);
    w.WriteBits(2, 3);  // skip field after the third length
    WriteSingleLiteral(w, 'Q');
    WriteSinglePosition(w, 0);
    EXPECT_EQ(ExpandLh5(w.Bytes(), 5).Output, Repeat('Q', 5));
}

TEST(Lh5Expand, SkipFieldZeroesTheSkippedLengths) {
    // Block 1 gives every code-length symbol a length; block 2's code-length code skips indices
    // 3 and 4, which must read as 0 (not as block 1's lengths) for its code to be complete.
    StreamWriter s;
    s.WriteHeader(1, FlatLengths(510), FlatLengths(14));
    s.WriteItem(Item::Literal('z'));
    BitWriter& w = s.Bits;
    w.WriteBits(16, 3);
    w.WriteBits(5, 6);
    w.WriteBits(3, 2);
    w.WriteBits(3, 0);
    w.WriteBits(3, 2);  // symbols 0 and 2: 2 bits
    w.WriteBits(2, 2);  // indices 3 and 4: 0
    w.WriteBits(3, 1);  // symbol 5: 1 bit
    // Code-length codes: symbol 5 = 0, symbol 0 = 10, symbol 2 = 11.
    w.WriteBits(9, 73);  // literal lengths 0..72
    w.WriteBits(2, 3);
    w.WriteBits(9, 65 - 20);                        // 65 zero lengths
    for (int k = 0; k < 8; ++k) w.WriteBits(1, 0);  // 'A'..'H': length 3
    WriteSinglePosition(w, 0);
    w.WriteBits(3, 0);
    w.WriteBits(3, 7);
    w.WriteBits(3, 2);  // 'A', 'H', 'C'
    EXPECT_EQ(ExpandLh5(w.Bytes(), 4).Output, (Bytes{'z', 'A', 'H', 'C'}));
}

TEST(Lh5Expand, LongSmallCodeLengthsUseTheEscapeForm) {
    // A code-length code with lengths 1..16 (7 is sent as 1110, 16 as 111 + nine 1 bits + 0) and
    // a position code with lengths 1..13, 13 whose long codes go through the tree.
    StreamWriter s;
    s.CodeLengthLengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16, 0, 0};
    std::vector<std::uint8_t> pos = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13};
    Bytes data = CompressibleData(20000, 3);
    const auto items = Parse(data);
    s.WriteHeader(static_cast<unsigned>(items.size()), FlatLengths(510), pos);
    for (const auto& it : items) s.WriteItem(it);
    ExpectRoundTrip(data, s.Bits.Bytes());
}

TEST(Lh5Expand, EscapedLengthsTakeExactlyTheirBits) {
    // Lengths 1..16, 16 of the code-length code: 7 is 1110 (4 bits), 16 is 111 + nine 1 bits + 0
    // (13 bits). After the header the marker bits must stand at the top of the look-ahead.
    StreamWriter s;
    s.WriteSmallLengths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16}, 5, 3);
    const std::size_t headerBits = 5 + 6 * 3 + 2 + (4 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 12 + 13 + 13);
    ASSERT_EQ(s.Bits.BitCount(), headerBits);
    s.Bits.WriteBits(16, 0xA5C3);
    TMemoryStream source(s.Bits.Bytes()), dest;
    CodecEngine engine(dest, source, static_cast<std::int32_t>(s.Bits.Bytes().size()), 0x7FFFFFFF, {});
    auto workspace = std::make_unique<Lh5Workspace>();
    Lh5Decoder decoder(engine, *workspace);
    decoder.Start();
    decoder.ReadCodeLengthLengths(19, 5, 3);
    EXPECT_EQ(decoder.Bits().BitBuf(), 0xA5C3);
    EXPECT_EQ(workspace->SmallLengths[6], 7);
    EXPECT_EQ(workspace->SmallLengths[16], 16);
    EXPECT_EQ(workspace->SmallLengths[17], 0);
}

TEST(Lh5Expand, LiteralCodesLongerThanTwelveBitsWalkTheTree) {
    // 'a'..'e' get 1..5 bits, seven symbols 13 bits and the rest 14 bits.
    std::vector<std::uint8_t> lengths(510, 14);
    for (unsigned k = 0; k < 5; ++k) lengths['a' + k] = static_cast<std::uint8_t>(k + 1);
    for (unsigned s = 0, made = 0; made < 7; ++s) {
        if (s >= 'a' && s < 'a' + 5) continue;
        lengths[s] = 13;
        ++made;
    }
    Bytes data = RandomData(30000, 11);
    for (std::size_t i = 0; i < data.size(); i += 2) data[i] = static_cast<std::uint8_t>('a' + (data[i] % 5));
    const auto items = Parse(data);
    StreamWriter s;
    s.WriteHeader(static_cast<unsigned>(items.size()), lengths, FlatLengths(14));
    for (const auto& it : items) s.WriteItem(it);
    ExpectRoundTrip(data, s.Bits.Bytes());
}

TEST(Lh5Expand, RoundTripsAcrossManyBlocks) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        const Bytes data = seed % 2 ? CompressibleData(70000, seed) : RandomData(40000, seed, 4 + seed * 40);
        ExpectRoundTrip(data, EncodeLh5(data, 300 + seed * 997, false));
        ExpectRoundTrip(data, EncodeLh5(data, 5000, true));
    }
}

TEST(Lh5Expand, InputThatEndsEarlyStillProducesDestsizeBytes) {
    const Bytes data = CompressibleData(30000, 5);
    Bytes stream = EncodeLh5(data);
    stream.resize(stream.size() / 2);
    const auto r = ExpandLh5(stream, static_cast<std::int32_t>(data.size()));
    EXPECT_GE(r.Output.size(), data.size());
    EXPECT_LE(r.Output.size(), data.size() + 255);
    EXPECT_NE(r.Checksum, ByteSum(data.data(), data.size()));
    EXPECT_EQ(r.SourcePosition, static_cast<std::int64_t>(stream.size()));
}

TEST(Lh5Expand, NoInputAtAllDecodesZeroBitsAsNulBytes) {
    // Zero bits: a block of 65,536 symbols with single-symbol codes of symbol 0.
    const auto r = ExpandLh5({}, 70000);
    EXPECT_EQ(r.Output, Bytes(70000, 0));
}

TEST(Lh5Expand, CancelledExpansionContinuesWithZeroBits) {
    const Bytes data = CompressibleData(5000, 9);
    TQuorvexCompress component;
    component.SetOnShowProgress([](std::int32_t& percentageDone) { percentageDone = -1; });
    const auto r = ExpandLh5(EncodeLh5(data), static_cast<std::int32_t>(data.size()), -1, component);
    EXPECT_EQ(r.Output, Bytes(data.size(), 0));
    EXPECT_EQ(r.SourcePosition, 1);
}

TEST(Lh5Expand, SourcePositionFollowsTheLookAheadExactly) {
    // Stored bytes beyond the 16-bit look-ahead after the last symbol are never pulled.
    const Bytes data = CompressibleData(3000, 12);
    StreamWriter s;
    s.WriteBlocks(Parse(data));
    const std::size_t needed = (s.Bits.BitCount() + 16 + 7) / 8;
    Bytes stream = s.Bits.Bytes();
    stream.resize(needed + 5, 0);
    const auto r = ExpandLh5(stream, static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(r.Output, data);
    EXPECT_EQ(r.SourcePosition, static_cast<std::int64_t>(needed));
}

}  // namespace
}  // namespace qvx::lh5
