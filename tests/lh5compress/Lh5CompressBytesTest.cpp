// Exact output of LH5 compression: the stream is fully determined by the input.
#include <gtest/gtest.h>

#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

TEST(Lh5CompressBytes, EmptyInputWritesNothing) {
    std::uint32_t sum = 1;
    EXPECT_TRUE(Compress({}, &sum).empty());
    EXPECT_EQ(sum, 0u);
}

TEST(Lh5CompressBytes, OneByte) {
    std::uint32_t sum = 0;
    EXPECT_EQ(Compress(FromText("a"), &sum), (Bytes{0x00, 0x01, 0x00, 0x00, 0x06, 0x10, 0x00}));
    EXPECT_EQ(sum, 0x61u);
}

TEST(Lh5CompressBytes, LiteralAndShortMatch) {
    EXPECT_EQ(Compress(FromText("aaaa")), (Bytes{0x00, 0x02, 0x20, 0x04, 0x30, 0x11, 0x36, 0x45, 0x40, 0x10}));
}

TEST(Lh5CompressBytes, ThreeLiteralsAndMatchOfNine) {
    EXPECT_EQ(Compress(FromText("abcabcabcabc")),
              (Bytes{0x00, 0x04, 0x28, 0x05, 0x30, 0x71, 0x37, 0x91, 0xd0, 0x21, 0xb0}));
}

TEST(Lh5CompressBytes, ThreeMillionZeroBytesMakeThreeBlocks) {
    const Bytes zeros(3'000'000, 0);
    const Bytes out = Compress(zeros);
    EXPECT_EQ(out.size(), 834u);
    // The first block's size field opens the stream: 5240 items.
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ((out[0] << 8) | out[1], 5240);
}

TEST(Lh5CompressBytes, ZeroRunBlocksHoldTheExpectedItems) {
    const auto items = ParseItems(Bytes(3'000'000, 0));
    // 1 literal, then matches of 256 with position code 0, the last one shortened to the rest.
    ASSERT_EQ(items.size(), 5240u + 5240u + 1240u);
    EXPECT_EQ(items[0], (Item{0, 0}));
    std::size_t total = 1;
    for (std::size_t i = 1; i < items.size(); ++i) {
        ASSERT_TRUE(items[i].IsMatch()) << i;
        ASSERT_EQ(items[i].position, 0u) << i;
        if (i + 1 < items.size()) {
            ASSERT_EQ(items[i].Length(), 256u) << i;
        }
        total += items[i].Length();
    }
    EXPECT_EQ(total, 3'000'000u);
}

TEST(Lh5CompressBytes, SameInputSameBytes) {
    Bytes text;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = "line " + std::to_string(i * 7919 % 1000) + " of the text\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    EXPECT_EQ(Compress(text), Compress(text));
}

TEST(Lh5CompressBytes, OutputLimitRaisesCouldNotCompress) {
    // Random data does not shrink: with the default limit (the input size) compression fails.
    const Bytes noise = RandomBytes(20000, 7);
    EXPECT_THROW(Compress(noise, nullptr, {}, 0), EUnableToCompress);
    try {
        Compress(FromText("a"), nullptr, {}, 0);
        FAIL() << "expected EUnableToCompress";
    } catch (const EUnableToCompress& e) {
        EXPECT_STREQ(e.what(), "Could not compress data");
    }
    // Exactly at the limit: seven output bytes fit in a limit of seven.
    EXPECT_EQ(Compress(FromText("a"), nullptr, {}, -6).size(), 7u);
    EXPECT_THROW(Compress(FromText("a"), nullptr, {}, -5), EUnableToCompress);
}

// ReadByte is called for all 8192 slots of the first fill, then once per slot of each slide until
// the end of the input has been met.
std::int64_t ReadByteCalls(const Bytes& input, Bytes* output = nullptr) {
    TQuorvexCompress component;
    component.SetMinimumSaving(-(1 << 20));
    OneByteSource source(input);
    TMemoryStream dest;
    std::uint32_t sum = 0;
    RunCodec(component, dest, source, static_cast<std::int32_t>(input.size()) + 100000, 0, cmLH5, sum, false);
    if (output != nullptr) *output = dest.TakeData();
    return source.Reads();
}

TEST(Lh5CompressBytes, ReadByteCallsAroundTheFirstSlide) {
    const Bytes text = RandomBytes(16128, 3);
    EXPECT_EQ(ReadByteCalls(Bytes(text.begin(), text.begin() + 7935)), 8192);
    EXPECT_EQ(ReadByteCalls(Bytes(text.begin(), text.begin() + 7936)), 8193);
    EXPECT_EQ(ReadByteCalls(text), 16130);
    EXPECT_EQ(ReadByteCalls({}), 8192);
    // Reading in one-byte pieces changes nothing in the output.
    Bytes pieced;
    ReadByteCalls(text, &pieced);
    EXPECT_EQ(pieced, Compress(text));
}

}  // namespace
}  // namespace qvx::lh5test
