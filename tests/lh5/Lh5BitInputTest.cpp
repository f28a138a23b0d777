#include <gtest/gtest.h>

#include "CodecEngine.h"
#include "lh5/decode/Lh5BitInput.h"
#include "Lh5TestSupport.h"

namespace qvx::lh5 {
namespace {

using lh5test::TrickleStream;

struct BitInputRig {
    explicit BitInputRig(std::vector<std::uint8_t> data, std::int32_t sourceSize = -1, TShowProgressEvent progress = {})
        : source(data),
          engine(dest, source, sourceSize < 0 ? static_cast<std::int32_t>(data.size()) : sourceSize, 0x7FFFFFFF,
                 std::move(progress)),
          bits(engine) {}
    TMemoryStream dest;
    TrickleStream source;
    CodecEngine engine;
    Lh5BitInput bits;
};

TEST(Lh5BitInput, StartLoadsTwoBytesAndGetBitsReadsMostSignificantFirst) {
    BitInputRig rig({0xA5, 0x3C});
    rig.bits.Start();
    EXPECT_EQ(rig.bits.BitBuf(), 0xA53C);
    EXPECT_EQ(rig.bits.GetBits(3), 5u);
    EXPECT_EQ(rig.bits.BitBuf(), 0x29E0);
    EXPECT_EQ(rig.bits.GetBits(16), 0x29E0u);
    EXPECT_EQ(rig.bits.BitBuf(), 0);
}

TEST(Lh5BitInput, GetBitsZeroConsumesNothing) {
    BitInputRig rig({0xA5, 0x3C, 0x77});
    rig.bits.Start();
    EXPECT_EQ(rig.bits.GetBits(0), 0u);
    EXPECT_EQ(rig.bits.BitBuf(), 0xA53C);
    EXPECT_EQ(rig.source.Position(), 2);
}

TEST(Lh5BitInput, OneByteInputContinuesWithZeroBits) {
    BitInputRig rig({0xC3});
    rig.bits.Start();
    EXPECT_EQ(rig.bits.BitBuf(), 0xC300);
    EXPECT_EQ(rig.bits.GetBits(4), 0xCu);
    EXPECT_EQ(rig.bits.GetBits(16), 0x3000u);
    EXPECT_EQ(rig.bits.GetBits(16), 0u);
    EXPECT_TRUE(rig.engine.EndOfInput());
}

TEST(Lh5BitInput, ReadsEachByteOnlyWhenTheLookAheadNeedsIt) {
    // After n consumed bits exactly ceil((n + 16) / 8) bytes have been read.
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 64; ++i) data.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    BitInputRig rig(data);
    rig.bits.Start();
    EXPECT_EQ(rig.source.Position(), 2);
    unsigned consumed = 0;
    std::uint64_t expectedBits = 0;  // stream bits consumed, checked against the data
    const unsigned steps[] = {1, 7, 0, 8, 17, 3, 16, 12, 9, 2, 17, 17, 5, 11, 13, 1, 16, 4};
    for (unsigned n : steps) {
        const std::uint16_t look = rig.bits.BitBuf();
        // BitBuf shows the 16 stream bits starting at `consumed`.
        std::uint32_t want = 0;
        for (unsigned b = 0; b < 16; ++b) {
            const unsigned pos = consumed + b;
            want = (want << 1) | ((data[pos / 8] >> (7 - pos % 8)) & 1u);
        }
        ASSERT_EQ(look, want) << "at bit " << consumed;
        rig.bits.FillBits(n);
        consumed += n;
        expectedBits += n;
        EXPECT_EQ(rig.source.Position(), (consumed + 16 + 7) / 8) << "after " << consumed << " bits";
    }
    EXPECT_EQ(expectedBits, consumed);
}

TEST(Lh5BitInput, StopsCallingReadByteAtTheEndOfInput) {
    // The source is shorter than Sourcesize, so every refill at the end would ask the stream again.
    BitInputRig rig({0x81, 0x42, 0xFF}, 100);
    rig.bits.Start();
    EXPECT_EQ(rig.bits.GetBits(16), 0x8142u);
    EXPECT_EQ(rig.bits.GetBits(8), 0xFFu);
    const int readsAtEnd = rig.source.Reads();
    EXPECT_TRUE(rig.engine.EndOfInput());
    for (int i = 0; i < 20; ++i) EXPECT_EQ(rig.bits.GetBits(16), 0u);
    EXPECT_EQ(rig.source.Reads(), readsAtEnd);
}

TEST(Lh5BitInput, CancelledInputReadsAsZeroBits) {
    int calls = 0;
    BitInputRig rig({0xFF, 0xFF, 0xFF, 0xFF}, -1, [&](std::int32_t& percentageDone) {
        ++calls;
        percentageDone = -1;
    });
    rig.bits.Start();
    EXPECT_EQ(rig.bits.BitBuf(), 0);
    EXPECT_EQ(rig.bits.GetBits(16), 0u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(rig.source.Reads(), 1);
}

}  // namespace
}  // namespace qvx::lh5
