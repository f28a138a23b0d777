// Damaged LZH streams decode to wrong bytes, never to a crash; the checksum reports the damage.
#include <gtest/gtest.h>

#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

#include "DataGen.h"
#include "TestSupport.h"
#include "LzhTestSupport.h"

namespace qvx::lzhtest {
namespace {

// Every item writes whole, so the output runs at most 59 bytes past the asked size.
void ExpectBoundedOutput(const Bytes& stream, std::int32_t size) {
    std::uint32_t sum = 0;
    const Bytes out = ExpandRun(stream, size, &sum);
    ASSERT_GE(out.size(), static_cast<std::size_t>(size));
    ASSERT_LE(out.size(), static_cast<std::size_t>(size) + 59);
    ASSERT_EQ(sum, Sum(out));
}

TEST(LzhCorruptStream, RandomBytes) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 300; ++round) {
        const Bytes stream = Noise(rng() % 600, static_cast<std::uint32_t>(rng()), round % 3 == 0 ? 2 : 256);
        ExpectBoundedOutput(stream, static_cast<std::int32_t>(rng() % 9000));
        if (HasFatalFailure()) return;
    }
}

TEST(LzhCorruptStream, MutatedStreams) {
    const Bytes data = TextLike(6000, 31);
    const Bytes good = CompressRun(data);
    std::mt19937 rng(99);
    int differing = 0;
    for (int round = 0; round < 200; ++round) {
        Bytes bad = good;
        const unsigned flips = 1 + rng() % 4;
        for (unsigned i = 0; i < flips; ++i) bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        if (round % 5 == 0) bad.resize(rng() % bad.size());  // also cut short
        std::uint32_t sum = 0;
        const Bytes out = ExpandRun(bad, 6000, &sum);
        ASSERT_GE(out.size(), 6000u);
        ASSERT_LE(out.size(), 6059u);
        ASSERT_EQ(sum, Sum(out));
        if (out != data) ++differing;
    }
    EXPECT_GT(differing, 150);
}

TEST(LzhCorruptStream, DamagedArchiveEntryFailsItsChecksum) {
    const Bytes data = TextLike(3000, 32);
    std::uint32_t sum = 0;
    Bytes stream = CompressRun(data, &sum);
    stream[stream.size() / 2] ^= 0x10;
    TQuorvexCompress component;
    TMemoryStream source(stream), dest;
    EXPECT_THROW(component.ExpandEntry(dest, source, static_cast<std::int32_t>(stream.size()), 3000, sum, cmLZH, "LZH"),
                 EBadChecksum);
}

TEST(LzhCorruptStream, CancelledExpansionStillEnds) {
    // The progress handler cancels: unchecked, every later byte counts as zero and the size is
    // still reached; checked, the expansion ends at once.
    const Bytes data = TextLike(30000, 33);
    const Bytes stream = CompressRun(data);
    CodecSettings settings;
    settings.OnShowProgress = [](std::int32_t& percent) { percent = -1; };
    for (const bool checked : {false, true}) {
        settings.CheckedExpansion = checked;
        TMemoryStream source(stream), dest;
        const CodecResult r =
            RunCodec(settings, dest, source, static_cast<std::int32_t>(stream.size()), 30000, cmLZH, true);
        EXPECT_TRUE(r.Cancelled);
        EXPECT_EQ(r.Checksum, Sum(dest.Data()));
        if (checked) {
            EXPECT_TRUE(dest.Data().empty());
        } else {
            EXPECT_GE(dest.Data().size(), 30000u);
            EXPECT_LE(dest.Data().size(), 30059u);
        }
    }
}

TEST(LzhCorruptStream, CheckedExpansionRefusesExactlyWhatRunsPastTheStoredBytes) {
    // Damaged and cut streams, checked: the verdict is the one the bits the decoder used give
    // (unchecked, it reports them): past the end of the stream, "ends before"; a last match past
    // the size, "expands past"; otherwise exactly the size. Nothing past the size is written.
    const Bytes data = TextLike(6000, 34);
    const Bytes good = CompressRun(data);
    std::mt19937 rng(7);
    int endsEarly = 0, runsPast = 0, exact = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes bad = good;
        if (round % 3 != 0) bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        if (round % 2 == 0) bad.resize(bad.size() - rng() % std::min<std::size_t>(bad.size(), 40));
        const auto size = static_cast<std::int32_t>(round % 7 == 0 ? rng() % 7000 : 6000);
        std::int64_t bits = 0;
        const Bytes loose = ExpandRun(bad, size, nullptr, &bits);

        CodecSettings checked;
        TMemoryStream source(bad), dest;
        const auto run = [&] {
            RunCodec(checked, dest, source, static_cast<std::int32_t>(bad.size()), size, cmLZH, true);
        };
        if (size > 0 && bits > 8 * static_cast<std::int64_t>(bad.size())) {
            ASSERT_EQ(test::MessageOf<EDataError>(run), kDataEndsEarlyMessage) << round;
            ++endsEarly;
        } else if (loose.size() > static_cast<std::size_t>(size)) {
            ASSERT_EQ(test::MessageOf<EDataError>(run), kDataRunsPastSizeMessage) << round;
            ++runsPast;
        } else {
            ASSERT_NO_THROW(run()) << round;
            ASSERT_EQ(dest.Data(), loose) << round;
            ++exact;
        }
        ASSERT_LE(dest.Data().size(), static_cast<std::size_t>(size));
    }
    EXPECT_GT(endsEarly, 20);
    EXPECT_GT(runsPast, 0);
    EXPECT_GT(exact, 20);
}

}  // namespace
}  // namespace qvx::lzhtest
