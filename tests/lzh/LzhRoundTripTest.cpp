// Every stream the compressor produces expands to its input.
#include <gtest/gtest.h>

#include <instcompress/Exceptions.h>

#include "DataGen.h"
#include "LzhTestSupport.h"

namespace qvx::lzhtest {
namespace {

// Compresses through RunCodec where the result fits the output limit (otherwise without it), and
// expands through RunCodec; both checksums must be the byte sum of the data.
void ExpectRoundTrip(const Bytes& data, const std::string& what) {
    Bytes stream;
    std::uint32_t sum = 0;
    try {
        stream = CompressRun(data, &sum);
        EXPECT_EQ(sum, Sum(data)) << what;
        EXPECT_LE(stream.size(), data.size()) << what;
    } catch (const EUnableToCompress&) {
        stream = CompressUnlimited(data);
        EXPECT_GT(stream.size(), data.size()) << what;
    }
    std::uint32_t outSum = 0;
    const Bytes back = ExpandRun(stream, static_cast<std::int32_t>(data.size()), &outSum);
    ASSERT_EQ(back.size(), data.size()) << what;
    ASSERT_TRUE(back == data) << what;
    EXPECT_EQ(outSum, Sum(data)) << what;
}

TEST(LzhRoundTrip, EverySmallSize) {
    for (std::size_t n = 0; n <= 70; ++n) {
        ExpectRoundTrip(TextLike(n, 1), "text " + std::to_string(n));
        ExpectRoundTrip(Noise(n, 2), "noise " + std::to_string(n));
        ExpectRoundTrip(Bytes(n, 0x20), "spaces " + std::to_string(n));
        ExpectRoundTrip(Noise(n, 3, 2), "two letters " + std::to_string(n));
    }
}

TEST(LzhRoundTrip, SizesAroundTheWindow) {
    for (std::size_t n : {4035u, 4036u, 4037u, 4095u, 4096u, 4097u, 4155u, 4156u, 4157u, 8192u, 8193u}) {
        ExpectRoundTrip(TextLike(n, 4), "text " + std::to_string(n));
        ExpectRoundTrip(Noise(n, 5, 4), "four letters " + std::to_string(n));
        ExpectRoundTrip(Noise(n, 6), "noise " + std::to_string(n));
    }
}

TEST(LzhRoundTrip, LongRunsAndRepeats) {
    Bytes runs;
    for (int i = 0; i < 40; ++i)
        runs.insert(runs.end(), static_cast<std::size_t>(1 + i * 23), static_cast<std::uint8_t>(i * 7));
    ExpectRoundTrip(runs, "runs");
    ExpectRoundTrip(Bytes(100000, 0), "zeros");
    ExpectRoundTrip(Bytes(12345, 0x20), "spaces");

    // A block repeated at distances just inside and just outside the window.
    const Bytes block = Noise(4000, 8);
    Bytes repeated = block;
    repeated.insert(repeated.end(), block.begin(), block.end());
    repeated.insert(repeated.end(), 200, 'x');
    repeated.insert(repeated.end(), block.begin(), block.end());
    ExpectRoundTrip(repeated, "repeated block");
}

TEST(LzhRoundTrip, MixedData) {
    ExpectRoundTrip(TextLike(50000, 9), "text");
    ExpectRoundTrip(BinaryLike(50000, 10), "binary");
    ExpectRoundTrip(Noise(20000, 11), "noise");
    Bytes mixed = TextLike(7000, 12);
    const Bytes bin = BinaryLike(7000, 13);
    mixed.insert(mixed.end(), bin.begin(), bin.end());
    const Bytes text = TextLike(7000, 14);
    mixed.insert(mixed.end(), text.begin(), text.end());
    ExpectRoundTrip(mixed, "mixed");
}

TEST(LzhRoundTrip, ManyModelRebuilds) {
    // Mostly literals: well over 32,454 symbols per rebuild, several times.
    ExpectRoundTrip(Noise(150000, 15, 64), "64 letters");
    ExpectRoundTrip(TextLike(300000, 16), "long text");
}

TEST(LzhRoundTrip, OutputIsRepeatable) {
    const Bytes data = TextLike(20000, 17);
    EXPECT_EQ(CompressRun(data), CompressRun(data));
    // Short inputs read stale window bytes beyond their end; the cleared window fixes them.
    for (std::size_t n = 1; n < 60; ++n) {
        const Bytes small(n, 'q');
        ASSERT_EQ(CompressUnlimited(small), CompressUnlimited(small)) << n;
    }
}

TEST(LzhRoundTrip, TextCompresses) {
    const Bytes data = TextLike(100000, 18);
    const Bytes stream = CompressRun(data);
    EXPECT_LT(stream.size(), data.size() / 2);
}

}  // namespace
}  // namespace qvx::lzhtest
