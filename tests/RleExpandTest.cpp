#include <gtest/gtest.h>

#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "RleExpand.h"
#include "TestSupport.h"

namespace qvx::test {
namespace {

struct Expansion {
    Bytes Output;
    std::uint32_t Checksum = 0;
};

// The codec's own behaviour: an unchecked expansion, which runs to the end of the input.
Expansion Expand(const Bytes& rle, const TQuorvexCompress& component = {}, std::int32_t pieceSize = 0x7FFFFFFF) {
    ProbeStream src(rle), dst;
    src.PieceSize = pieceSize;
    CodecSettings settings = component.Settings();
    settings.CheckedExpansion = false;
    const CodecResult r = RunCodec(settings, dst, src, static_cast<std::int32_t>(rle.size()), 0, cmRLE, true);
    Expansion e{dst.Data(), r.Checksum};
    EXPECT_EQ(e.Checksum, Sum(e.Output));
    return e;
}

TEST(RleExpand, Items) {
    EXPECT_EQ(RleEscape, 0x94);
    EXPECT_EQ(Expand({}).Output, Bytes{});
    EXPECT_EQ(Expand({0x41, 0x42, 0x00, 0xFF}).Output, (Bytes{0x41, 0x42, 0x00, 0xFF}));
    EXPECT_EQ(Expand({0x41, 0x94, 0x05}).Output, Bytes(5, 0x41));
    EXPECT_EQ(Expand({0x41, 0x94, 0x01}).Output, Bytes(1, 0x41));
    EXPECT_EQ(Expand({0x41, 0x94, 0x02}).Output, Bytes(2, 0x41));
    EXPECT_EQ(Expand({0x41, 0x94, 0xFF}).Output, Bytes(255, 0x41));
}

TEST(RleExpand, PreviousByteAfterAnEscapeItemIsTheEscape) {
    EXPECT_EQ(Expand({0x94, 0x00, 0x94, 0x03}).Output, Bytes(3, 0x94));
    Bytes expected(3, 0x41);
    expected.insert(expected.end(), 2, 0x94);
    EXPECT_EQ(Expand({0x41, 0x94, 0x03, 0x94, 0x03}).Output, expected);
}

TEST(RleExpand, PreviousByteStartsAtZero) {
    EXPECT_EQ(Expand({0x94, 0x04}).Output, Bytes(3, 0x00));
    EXPECT_EQ(Expand({0x94, 0x01}).Output, Bytes{});
}

TEST(RleExpand, LoneEscapeAtTheEndWritesOneEscape) {
    EXPECT_EQ(Expand({0x94}).Output, Bytes{0x94});
    EXPECT_EQ(Expand({0x41, 0x94}).Output, (Bytes{0x41, 0x94}));
}

TEST(RleExpand, PreviousByteIsResetForEveryRequest) {
    TQuorvexCompress component;
    EXPECT_EQ(Expand({0x7F}, component).Output, Bytes{0x7F});
    EXPECT_EQ(Expand({0x94, 0x03}, component).Output, Bytes(2, 0x00));
}

TEST(RleExpand, ItemsSplitAcrossReadPieces) {
    const Bytes rle = {0x41, 0x94, 0x05, 0x42, 0x94, 0x00, 0x94, 0x02};
    const Bytes expected = {0x41, 0x41, 0x41, 0x41, 0x41, 0x42, 0x94, 0x94};
    for (std::int32_t piece = 1; piece <= 3; ++piece) EXPECT_EQ(Expand(rle, {}, piece).Output, expected) << piece;
}

TEST(RleExpand, LongRunsCrossOutputBlocks) {
    Bytes rle;
    Bytes expected;
    for (int i = 0; i < 100; ++i) {
        const auto v = static_cast<std::uint8_t>(i == 0x94 ? 0 : i);
        rle.insert(rle.end(), {v, 0x94, 0xFF});
        expected.insert(expected.end(), 255, v);
    }
    EXPECT_EQ(Expand(rle).Output, expected);
}

TEST(RleExpand, CancelBetweenItemsStops) {
    TQuorvexCompress component;
    int calls = 0;
    component.SetOnShowProgress([&](std::int32_t& p) {
        if (++calls == 2) p = -1;
    });
    // Pieces of 2: {41 42} {43 44} ...; the second refill is cancelled.
    EXPECT_EQ(Expand({0x41, 0x42, 0x43, 0x44, 0x45}, component, 2).Output, (Bytes{0x41, 0x42}));
    EXPECT_EQ(calls, 2);
}

TEST(RleExpand, CancelOnTheCountByteOfAnEscapeWritesOneEscape) {
    TQuorvexCompress component;
    int calls = 0;
    component.SetOnShowProgress([&](std::int32_t& p) {
        if (++calls == 2) p = -1;
    });
    // Pieces of 2: {41 94} {05 42}: the count byte's refill is cancelled, reads as 0 and one 0x94
    // is written; then the expansion stops although the block holding 05 42 is buffered.
    EXPECT_EQ(Expand({0x41, 0x94, 0x05, 0x42}, component, 2).Output, (Bytes{0x41, 0x94}));
    EXPECT_EQ(calls, 2);
}

TEST(RleExpand, CheckedExpansionGivesExactlyTheSizeFromTheStoredBytes) {
    // An RLE stream has no end of its own: checked, what it gives is held to the expanded size,
    // and a count byte past the end means the stream was cut.
    struct Case {
        Bytes Rle;
        std::int32_t Size;
        const char* Error;    // nullptr: expands to Size bytes
        std::size_t Written;  // bytes that reached dest
    } cases[] = {
        {{0x41, 0x94, 0x05}, 5, nullptr, 5},
        {{}, 0, nullptr, 0},
        {{0x41, 0x94, 0x05}, 6, kDataEndsEarlyMessage, 0},
        {{}, 100000000, kDataEndsEarlyMessage, 0},
        {{0x41, 0x94, 0x05}, 4, kDataRunsPastSizeMessage, 0},
        {{0x41, 0x94}, 2, kDataEndsEarlyMessage, 0},                 // a lone escape: its count byte is missing
        {Bytes(20000, 'x'), 10000, kDataRunsPastSizeMessage, 8192},  // whole blocks only, none past the size
    };
    for (const Case& c : cases) {
        ProbeStream src(c.Rle), dst;
        CodecSettings settings;
        const auto size = static_cast<std::int32_t>(c.Rle.size());
        if (c.Error == nullptr) {
            const CodecResult r = RunCodec(settings, dst, src, size, c.Size, cmRLE, true);
            EXPECT_EQ(r.OutputCount, c.Size);
        } else {
            EXPECT_EQ(MessageOf<EDataError>([&] { RunCodec(settings, dst, src, size, c.Size, cmRLE, true); }), c.Error)
                << c.Size;
        }
        EXPECT_EQ(dst.Data().size(), c.Written) << c.Size;
    }
}

TEST(RleExpand, OutputLimitPassesThrough) {
    // RLE driven on a limited engine directly: the limit's exception reaches the caller.
    ProbeStream src(Bytes{0x41, 0x94, 0x0A}), dst;
    CodecEngine engine(dst, src, 3, 5, {});
    EXPECT_THROW(RleExpand(engine), EUnableToCompress);
    EXPECT_EQ(engine.OutputCount(), 5);
}

}  // namespace
}  // namespace qvx::test
