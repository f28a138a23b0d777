// The decoders' fast output paths (WriteBytes, the direct output cursor, whole-match copies) must
// behave exactly like one WriteByte per byte: the same bytes, the same block writes at the same
// moments, the same point of EUnableToCompress.
#include <gtest/gtest.h>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "TestSupport.h"

namespace qvx::test {
namespace {

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + i / 97);
    return b;
}

// What reached the destination and how, after writing pieces of the given sizes.
struct Outcome {
    Bytes Data;
    std::vector<std::int32_t> WriteSizes;
    std::int32_t Count = 0;
    bool Refused = false;
    std::uint32_t Checksum = 0;
};

Outcome WritePieces(const std::vector<std::size_t>& pieces, std::int32_t limit, bool bulk) {
    const Bytes data = Pattern(70000);
    ProbeStream src;
    ProbeStream dst;
    CodecEngine engine(dst, src, 0, limit, {});
    Outcome o;
    std::size_t at = 0;
    try {
        for (const std::size_t n : pieces) {
            if (bulk) {
                engine.WriteBytes(data.data() + at, n);
            } else {
                for (std::size_t k = 0; k < n; ++k) engine.WriteByte(data[at + k]);
            }
            at += n;
        }
        engine.FlushOutput();
    } catch (const EUnableToCompress&) {
        o.Refused = true;
    }
    o.Data = dst.Data();
    o.WriteSizes = dst.WriteSizes;
    o.Count = engine.OutputCount();
    o.Checksum = engine.OutputChecksum();
    return o;
}

void ExpectSame(const std::vector<std::size_t>& pieces, std::int32_t limit) {
    const Outcome a = WritePieces(pieces, limit, false);
    const Outcome b = WritePieces(pieces, limit, true);
    EXPECT_EQ(a.Data, b.Data);
    EXPECT_EQ(a.WriteSizes, b.WriteSizes);
    EXPECT_EQ(a.Count, b.Count);
    EXPECT_EQ(a.Refused, b.Refused);
    EXPECT_EQ(a.Checksum, b.Checksum);
}

TEST(CodecEngineWriteBytes, MatchesByteWritesAtEveryBlockBoundary) {
    ExpectSame({8192}, CodecEngine::kExpandOutputLimit);
    ExpectSame({8193}, CodecEngine::kExpandOutputLimit);
    ExpectSame({8191, 1, 1, 8191, 2}, CodecEngine::kExpandOutputLimit);
    ExpectSame({0, 3, 20000, 0, 16384, 7}, CodecEngine::kExpandOutputLimit);
    // The buffer exactly full: nothing is written until the next byte arrives.
    const Outcome full = WritePieces({8192}, CodecEngine::kExpandOutputLimit, true);
    EXPECT_EQ(full.WriteSizes, (std::vector<std::int32_t>{8192}));  // only the final flush
}

TEST(CodecEngineWriteBytes, RefusesAtTheSameByteAsWriteByte) {
    for (const std::int32_t limit : {0, 1, 100, 8192, 8193, 20000}) {
        SCOPED_TRACE(limit);
        ExpectSame({50, 9000, 12000}, limit);
        const Outcome o = WritePieces({50, 9000, 12000}, limit, true);
        EXPECT_TRUE(o.Refused);
        EXPECT_EQ(o.Count, limit);
    }
    ExpectSame({50, 9000}, 9050);  // exactly at the limit: accepted
    EXPECT_FALSE(WritePieces({50, 9000}, 9050, true).Refused);
}

TEST(CodecEngineOutputCursor, BytesCountOnceHandedBack) {
    ProbeStream src;
    ProbeStream dst;
    CodecEngine engine(dst, src, 0, CodecEngine::kExpandOutputLimit, {});
    std::uint8_t* out = engine.OutputCursor();
    ASSERT_EQ(engine.OutputStop() - out, 8192);
    for (int i = 0; i < 8192; ++i) *out++ = static_cast<std::uint8_t>(i);
    engine.SetOutputCursor(out);
    EXPECT_EQ(engine.OutputCount(), 8192);
    EXPECT_TRUE(dst.WriteSizes.empty());
    engine.WriteByte(0xAB);  // at the stop: the full buffer goes out now
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192}));
    engine.FlushOutput();
    ASSERT_EQ(dst.Data().size(), 8193u);
    EXPECT_EQ(dst.Data()[8191], 0xFF);
    EXPECT_EQ(dst.Data()[8192], 0xAB);
}

Bytes Compress(const Bytes& plain) {
    TQuorvexCompress component;
    component.SetMinimumSaving(0);
    ProbeStream src(plain);
    ProbeStream dst;
    std::uint32_t checksum = 0;
    RunCodec(component, dst, src, static_cast<std::int32_t>(plain.size()), 0, cmLH5, checksum, false);
    return dst.Data();
}

// Data whose matches cross the ring's end and the output buffer's end in every way: runs of one
// byte (overlapping copies), a repeated 300-byte record (256-byte matches at distance 300), a
// repeat from almost 8192 bytes back, and literals in between.
Bytes MatchHeavy() {
    Bytes d;
    const Bytes noise = Pattern(9000);
    for (int round = 0; round < 12; ++round) {
        d.insert(d.end(), noise.begin() + round * 600, noise.begin() + round * 600 + 700);
        d.insert(d.end(), static_cast<std::size_t>(1000 + round * 37), static_cast<std::uint8_t>('a' + round));
        for (int k = 0; k < 7; ++k) d.insert(d.end(), noise.begin() + 100, noise.begin() + 400);
        if (d.size() < 8200) continue;
        const std::size_t back = d.size() - 8100;
        d.insert(d.end(), d.begin() + static_cast<std::ptrdiff_t>(back),
                 d.begin() + static_cast<std::ptrdiff_t>(back) + 200);
    }
    return d;
}

TEST(Lh5ExpandOutput, MatchesAcrossRingAndBufferEndsExpandExactly) {
    const Bytes plain = MatchHeavy();
    ASSERT_GT(plain.size(), 40000u);
    const Bytes packed = Compress(plain);
    TQuorvexCompress component;
    ProbeStream src(packed);
    ProbeStream dst;
    std::uint32_t checksum = 0;
    const std::int32_t n = RunCodec(component, dst, src, static_cast<std::int32_t>(packed.size()),
                                    static_cast<std::int32_t>(plain.size()), cmLH5, checksum, true);
    ASSERT_EQ(dst.Data(), plain);
    EXPECT_EQ(n, static_cast<std::int32_t>(plain.size()));
    EXPECT_EQ(checksum, ByteSum(plain.data(), plain.size(), 0));
    // Whole blocks while expanding, the rest at the end.
    ASSERT_FALSE(dst.WriteSizes.empty());
    for (std::size_t i = 0; i + 1 < dst.WriteSizes.size(); ++i) EXPECT_EQ(dst.WriteSizes[i], 8192);
}

TEST(Lh5ExpandOutput, WriteFailureMidMatchStopsAtTheSameBlock) {
    const Bytes plain = MatchHeavy();
    const Bytes packed = Compress(plain);
    TQuorvexCompress component;
    ProbeStream src(packed);
    ProbeStream dst;
    dst.FailWritesAfter = 3 * 8192 + 5;
    std::uint32_t checksum = 0;
    EXPECT_THROW(RunCodec(component, dst, src, static_cast<std::int32_t>(packed.size()),
                          static_cast<std::int32_t>(plain.size()), cmLH5, checksum, true),
                 EWriteError);
    // Three whole blocks, then the fourth that fails after 5 bytes.
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192, 8192, 8192, 8192}));
    ASSERT_EQ(dst.Data().size(), 3u * 8192 + 5);
    EXPECT_TRUE(std::equal(dst.Data().begin(), dst.Data().end(), plain.begin()));
}

}  // namespace
}  // namespace qvx::test
