// A cancel by the progress handler ends the encoder's input for good: the stream is exactly the
// one the bytes read before the cancel give on their own.
#include <gtest/gtest.h>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

Bytes TextLike(std::size_t n) {
    Bytes out;
    std::uint32_t x = 99;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        static const char* const words[] = {"the ", "archive ", "entry ", "window ", "of ", "block ", "\n", "code "};
        for (const char* p = words[(x >> 16) % 8]; *p != 0 && out.size() < n; ++p)
            out.push_back(static_cast<std::uint8_t>(*p));
    }
    return out;
}

// Compresses input with a handler that cancels on its cancelAt-th call (1-based).
Bytes CompressCancelledAt(const Bytes& input, int cancelAt, int* calls) {
    *calls = 0;
    return Compress(input, nullptr, [&, cancelAt](std::int32_t& percentage) {
        if (++*calls == cancelAt) percentage = -1;
    });
}

TEST(Lh5CompressCancel, CancelOnTheFirstBlockGivesNoOutput) {
    int calls = 0;
    EXPECT_TRUE(CompressCancelledAt(TextLike(30000), 1, &calls).empty());
    EXPECT_GE(calls, 1);
}

TEST(Lh5CompressCancel, CancelAtTheFirstSlideCodesTheFirstBlockOnly) {
    const Bytes input = TextLike(30000);
    int calls = 0;
    const Bytes out = CompressCancelledAt(input, 2, &calls);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out, Compress(Bytes(input.begin(), input.begin() + 8192)));
}

TEST(Lh5CompressCancel, CancelAtTheSecondSlideCodesTwoBlocks) {
    const Bytes input = TextLike(40000);
    int calls = 0;
    const Bytes out = CompressCancelledAt(input, 3, &calls);
    EXPECT_EQ(out, Compress(Bytes(input.begin(), input.begin() + 16384)));
}

TEST(Lh5CompressCancel, ChecksumCountsWhatReadByteDeliveredAfterTheCancel) {
    const Bytes input = TextLike(30000);
    // Cancelled at the first slide: no ReadByte follows, so the checksum is that of the bytes coded.
    int calls = 0;
    std::uint32_t sum = 0;
    Compress(input, &sum, [&](std::int32_t& p) {
        if (++calls == 2) p = -1;
    });
    EXPECT_EQ(sum, ByteSum(input.data(), 8192));
    // Cancelled on the first block: the first fill still calls ReadByte for its other 8191 slots,
    // and the engine delivers (and sums) the cancelled block's bytes, which the encoder ignores.
    calls = 0;
    const Bytes out = Compress(input, &sum, [&](std::int32_t& p) {
        if (++calls == 1) p = -1;
    });
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(sum, ByteSum(input.data(), 8191));
}

TEST(Lh5CompressCancel, HandlerValuesOtherThanMinusOneDoNotCancel) {
    const Bytes input = TextLike(30000);
    const Bytes out = Compress(input, nullptr, [](std::int32_t& percentage) { percentage = -2; });
    EXPECT_EQ(out, Compress(input));
}

}  // namespace
}  // namespace qvx::lh5test
