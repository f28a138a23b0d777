// The exact bytes the LZH format fixes, in both directions.
#include <gtest/gtest.h>

#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

#include "LzhTestSupport.h"

namespace qvx::lzhtest {
namespace {

struct Example {
    const char* name;
    Bytes plain;
    Bytes stream;
};

std::vector<Example> Examples() {
    return {
        {"a", FromString("a"), {0xF6, 0x80}},
        {"abc", FromString("abc"), {0xF6, 0xFB, 0xBD, 0xE0}},
        {"ten a", FromString("aaaaaaaaaa"), {0xF6, 0xC9, 0x00, 0x00}},
        {"spaces then abc", FromString("   abc"), {0x8C, 0x00, 0x7B, 0x7D, 0xDE, 0xF0}},
    };
}

TEST(LzhExamples, CompressToExactBytes) {
    for (const auto& e : Examples()) {
        std::uint32_t sum = 0;
        EXPECT_EQ(CompressUnlimited(e.plain), e.stream) << e.name;
        if (e.stream.size() <= e.plain.size()) {
            EXPECT_EQ(CompressRun(e.plain, &sum), e.stream) << e.name;
            EXPECT_EQ(sum, Sum(e.plain)) << e.name;
        }
    }
}

TEST(LzhExamples, ExpandExactBytes) {
    for (const auto& e : Examples()) {
        std::uint32_t sum = 0;
        EXPECT_EQ(ExpandRun(e.stream, static_cast<std::int32_t>(e.plain.size()), &sum), e.plain) << e.name;
        EXPECT_EQ(sum, Sum(e.plain)) << e.name;
    }
}

TEST(LzhExamples, TheDecoderReportsTheBitsItUsed) {
    // Stream bytes, expanded size, bits used (a cut stream reads zero bits past its end).
    struct Case {
        Bytes Stream;
        std::int32_t Size;
        std::int64_t Bits;
    } cases[] = {{{0xF6, 0x80}, 1, 9}, {{0xF6, 0xFB, 0xBD, 0xE0}, 3, 27}, {{0xF6, 0xFB, 0xBD, 0xE0}, 2, 18},
                 {{0xF6}, 1, 9},       {{0xF6, 0x80, 0x00, 0x00}, 1, 9},  {{}, 0, -1}};
    for (const Case& c : cases) {
        std::int64_t bits = 0;
        ExpandRun(c.Stream, c.Size, nullptr, &bits);
        EXPECT_EQ(bits, c.Bits) << c.Size;
    }
}

TEST(LzhExamples, StreamWriterAgreesWithTheFormat) {
    StreamWriter w;
    w.Literal('a');
    w.Match(9, 0);
    EXPECT_EQ(w.Finish(), (Bytes{0xF6, 0xC9, 0x00, 0x00}));
}

TEST(LzhExamples, EmptyInputGivesNoBytes) {
    EXPECT_TRUE(CompressUnlimited({}).empty());
    std::uint32_t sum = 1;
    EXPECT_TRUE(CompressRun({}, &sum).empty());
    EXPECT_EQ(sum, 0u);
}

TEST(LzhExamples, ExpandedSizeZeroReadsAndWritesNothing) {
    TQuorvexCompress component;
    TMemoryStream source(Bytes{0xF6, 0x80}), dest;
    std::uint32_t sum = 1;
    RunCodec(component, dest, source, 2, 0, cmLZH, sum, true);
    EXPECT_EQ(source.Position(), 0);
    EXPECT_TRUE(dest.Data().empty());
    EXPECT_EQ(sum, 0u);
}

TEST(LzhExamples, FiveSpacesFromTheInitialFill) {
    EXPECT_EQ(ExpandRun({0x8E, 0x00, 0x00}, 5), FromString("     "));
    // The other stream the compressor may produce for five spaces (another offset into the fill).
    EXPECT_EQ(ExpandRun({0x8E, 0x1D, 0x80}, 5), FromString("     "));
    const Bytes compressed = CompressUnlimited(FromString("     "));
    // The window starts cleared, so the bytes beyond the input are zeros and the choice is fixed.
    EXPECT_EQ(compressed, (Bytes{0x8E, 0x00, 0x00}));
    EXPECT_EQ(ExpandRun(compressed, 5), FromString("     "));
}

TEST(LzhExamples, AllZeroBitsWriteTheLastMatchWhole) {
    // Zero bits decode the literal 0x74, then a match of length 60 at offset 0; the match is
    // written whole although only 3 bytes were asked for.
    std::uint32_t sum = 0;
    const Bytes out = ExpandRun({}, 3, &sum);
    EXPECT_EQ(out, Bytes(61, 0x74));
    EXPECT_EQ(sum, 61u * 0x74u);
    EXPECT_EQ(ExpandRun({0x00, 0x00, 0x00}, 3), Bytes(61, 0x74));
}

TEST(LzhExamples, Offset4095ReadsTheByteWritten4096Earlier) {
    StreamWriter w;
    Bytes expected;
    for (int i = 0; i < 4096; ++i) {
        const auto b = static_cast<std::uint8_t>((i * 37 + i / 256) & 0xFF);
        w.Literal(b);
        expected.push_back(b);
    }
    // The copy starts at the write position itself: each byte is read before it is overwritten.
    w.Match(60, 4095);
    for (int i = 0; i < 60; ++i) expected.push_back(expected[static_cast<std::size_t>(i)]);
    w.Match(5, 4095);
    for (int i = 60; i < 65; ++i) expected.push_back(expected[static_cast<std::size_t>(i)]);
    EXPECT_EQ(ExpandRun(w.Finish(), static_cast<std::int32_t>(expected.size())), expected);
}

TEST(LzhExamples, EveryOffsetCodeDecodes) {
    // A literal, then one match per upper-offset value, each against the space fill or the bytes
    // produced so far.
    StreamWriter w;
    Bytes expected;
    Bytes ring(4096, 0);
    for (int i = 0; i < 4036; ++i) ring[static_cast<std::size_t>(i)] = 0x20;
    unsigned r = 4036;
    auto put = [&](std::uint8_t b) {
        expected.push_back(b);
        ring[r] = b;
        r = (r + 1) & 0xFFF;
    };
    w.Literal('x');
    put('x');
    for (int high = 0; high < 64; ++high) {
        const int offset = high * 64 + (high * 13) % 64;
        if (offset >= 4036 - 1) continue;  // stays inside bytes with defined content
        const int length = 3 + high % 58;
        w.Match(length, offset);
        unsigned from = (r - static_cast<unsigned>(offset) - 1) & 0xFFF;
        for (int k = 0; k < length; ++k) {
            put(ring[from]);
            from = (from + 1) & 0xFFF;
        }
        w.Literal(static_cast<std::uint8_t>(high));
        put(static_cast<std::uint8_t>(high));
    }
    EXPECT_EQ(ExpandRun(w.Finish(), static_cast<std::int32_t>(expected.size())), expected);
}

TEST(LzhExamples, OffsetCodeTable) {
    EXPECT_EQ(lzh::OffsetCode[0], 0x00);
    EXPECT_EQ(lzh::OffsetCodeLen[0], 3);
    EXPECT_EQ(lzh::OffsetCode[1], 0x20);
    EXPECT_EQ(lzh::OffsetCode[3], 0x40);
    EXPECT_EQ(lzh::OffsetCode[4], 0x50);
    EXPECT_EQ(lzh::OffsetCode[11], 0x88);
    EXPECT_EQ(lzh::OffsetCode[12], 0x90);
    EXPECT_EQ(lzh::OffsetCode[23], 0xBC);
    EXPECT_EQ(lzh::OffsetCode[24], 0xC0);
    EXPECT_EQ(lzh::OffsetCode[47], 0xEE);
    EXPECT_EQ(lzh::OffsetCode[48], 0xF0);
    EXPECT_EQ(lzh::OffsetCodeLen[48], 8);
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned v = lzh::OffsetDecodeHigh[b];
        const unsigned len = lzh::OffsetDecodeLen[b];
        ASSERT_EQ(len, lzh::OffsetCodeLen[v]);
        ASSERT_EQ(b >> (8 - len), static_cast<unsigned>(lzh::OffsetCode[v]) >> (8 - len)) << b;
    }
}

TEST(LzhExamples, OutputLimitStopsIncompressibleData) {
    std::mt19937 rng(7);
    Bytes noise(1000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    EXPECT_THROW(CompressRun(noise), EUnableToCompress);
    // Without the limit the stream is slightly larger than the input and still expands.
    const Bytes stream = CompressUnlimited(noise);
    EXPECT_GT(stream.size(), noise.size());
    EXPECT_EQ(ExpandRun(stream, 1000), noise);
}

}  // namespace
}  // namespace qvx::lzhtest
