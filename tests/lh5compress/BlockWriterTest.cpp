// The LH5 block writer's pieces: bit output, code-length descriptions and block boundaries.
#include <gtest/gtest.h>

#include "Lh5TestSupport.h"
#include "lh5/encode/BlockWriter.h"

namespace qvx::lh5test {
namespace {

using lh5::BlockWriter;

// A block writer on an engine whose output is collected.
struct Writer {
    Writer() : engine(dest, source, 0, 0x7FFFFFFF, {}), blocks(std::make_unique<BlockWriter>(engine)) {}
    Bytes Finish() {
        blocks->FinishStream();
        engine.FlushOutput();
        return dest.Data();
    }
    TMemoryStream source;
    TMemoryStream dest;
    CodecEngine engine;
    std::unique_ptr<BlockWriter> blocks;
};

TEST(Lh5BitWriter, FieldsGoOutMostSignificantBitFirst) {
    Writer w;
    auto& bits = w.blocks->Bits();
    bits.WriteBits(3, 5);                  // 101
    bits.WriteCode(0, 0);                  // nothing
    bits.WriteCode(2, 0xC000);             // 11
    bits.WriteBits(16, 0xA53C);            // crosses two byte boundaries
    EXPECT_EQ(w.engine.OutputCount(), 2);  // a byte leaves as soon as it is full
    EXPECT_EQ(bits.PendingBits(), 5);
    // 10111 1010 0101 0011 1100 + 7 zero bits: BD 29 E0
    EXPECT_EQ(w.Finish(), (Bytes{0xBD, 0x29, 0xE0}));
}

TEST(Lh5BitWriter, EndOfStreamWritesNothingOnAByteBoundary) {
    Writer w;
    w.blocks->Bits().WriteBits(8, 0x5A);
    EXPECT_EQ(w.Finish(), (Bytes{0x5A}));
}

TEST(Lh5BlockWriter, PositionBitLengths) {
    EXPECT_EQ(BlockWriter::PositionBitLength(0), 0u);
    EXPECT_EQ(BlockWriter::PositionBitLength(1), 1u);
    EXPECT_EQ(BlockWriter::PositionBitLength(2), 2u);
    EXPECT_EQ(BlockWriter::PositionBitLength(3), 2u);
    EXPECT_EQ(BlockWriter::PositionBitLength(4095), 12u);
    EXPECT_EQ(BlockWriter::PositionBitLength(4096), 13u);
    EXPECT_EQ(BlockWriter::PositionBitLength(8191), 13u);
}

TEST(Lh5BlockWriter, LongSmallLengthsUseTheUnaryExtension) {
    Writer w;
    auto* len = w.blocks->SmallLengths();
    for (int i = 0; i < 19; ++i) len[i] = 0;
    len[0] = 7;
    len[1] = 16;
    w.blocks->WriteSmallLengths(14, 4, -1);
    // count 2 (0010), 7 as 1110, 16 as twelve ones and a zero, then the padding.
    EXPECT_EQ(w.Finish(), (Bytes{0x2E, 0xFF, 0xF0}));
}

TEST(Lh5BlockWriter, SkipFieldFollowsTheThirdCodeLengthLength) {
    Writer w;
    auto* len = w.blocks->SmallLengths();
    for (int i = 0; i < 19; ++i) len[i] = 0;
    len[0] = 2;
    len[1] = 2;
    len[2] = 1;
    w.blocks->WriteSmallLengths(19, 5, 3);
    // count 3 (00011), 010 010 001, and the skip field 3 (11) although nothing follows.
    EXPECT_EQ(w.Finish(), (Bytes{0x1A, 0x47}));
}

TEST(Lh5BlockWriter, ZeroRunsOfNineteenAndTwenty) {
    Writer w;
    auto* len = w.blocks->LiteralLengths();
    for (int i = 0; i < 510; ++i) len[i] = 0;
    len[0] = 1;
    len[20] = 2;  // 19 zeros before it
    len[41] = 2;  // 20 zeros before it
    len[44] = 3;  // 2 zeros before it
    len[48] = 4;  // 3 zeros before it
    w.blocks->CountCodeLengthSymbols();
    const auto* f = w.blocks->CodeLengthFreq();
    EXPECT_EQ(f[0], 1 + 2);  // the 19-run's symbol 0, and the run of two
    EXPECT_EQ(f[1], 1 + 1);  // the 19-run's symbol 1, and the run of three
    EXPECT_EQ(f[2], 1);      // the 20-run
    EXPECT_EQ(f[3], 1);
    EXPECT_EQ(f[4], 2);
    EXPECT_EQ(f[5], 1);
    EXPECT_EQ(f[6], 1);
}

TEST(Lh5BlockWriter, LiteralOnlyBlockHolds14544Items) {
    Writer w;
    for (unsigned i = 0; i < 14544; ++i) w.blocks->RecordItem(i % 200, 0);
    EXPECT_EQ(w.engine.OutputCount(), 0);  // the 1818 groups all fit
    w.blocks->RecordItem(7, 0);            // the 1819th group starts: the block goes out
    const Bytes out = w.Finish();
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ((out[0] << 8) | out[1], 14544);
}

}  // namespace
}  // namespace qvx::lh5test
