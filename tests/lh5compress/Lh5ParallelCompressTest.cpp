// LH5 compression with the match search spread over threads must give the single-threaded
// encoder's bytes for every input: chunks whose cold finder reached the encoder's search state,
// chunks redone because it did not, inputs too short for any chunk, and the ends of the input
// (an output limit, a cancel).
#include <gtest/gtest.h>

#include <random>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/ThreadBudget.h>

#include "CodecEngine.h"
#include "lh5/encode/Lh5Compress.h"
#include "lh5/encode/Lh5ParallelCompress.h"

namespace qvx::lh5 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Words with repeats from every distance, numbers, runs of zeros and stretches of noise: matches of
// all lengths, and nodes of the match tree that live long.
Bytes Mixed(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    static const char* words[] = {"archive ", "entry ", "window ", "setup ", "the ", "block ", "engine "};
    Bytes d;
    while (d.size() < size) {
        switch (rng() % 6) {
            case 0:
                for (auto k = rng() % 30; k > 0; --k) d.push_back(static_cast<std::uint8_t>(rng()));
                break;
            case 1: d.insert(d.end(), 20 + rng() % 600, 0); break;
            case 2:
                if (d.size() > 9000) {
                    const std::size_t from = d.size() - 1 - rng() % 8191, len = 3 + rng() % 300;
                    for (std::size_t k = 0; k < len; ++k) d.push_back(d[from + k]);
                }
                break;
            default:
                for (const char* w = words[rng() % 7]; *w != 0; ++w) d.push_back(static_cast<std::uint8_t>(*w));
                d.push_back(static_cast<std::uint8_t>('0' + rng() % 10));
        }
    }
    d.resize(size);
    return d;
}

struct Outcome {
    Bytes bytes;
    bool refused = false;
    std::uint32_t checksum = 0;
    ParallelStats stats;
};

// workers 0: the single-threaded encoder.
Outcome Compress(const Bytes& in, int workers, int warm = kWarmUpCycles, std::int32_t limit = 0x7FFFFFFF,
                 int cancelAt = 0, int cycles = kChunkCycles, ThreadBudget* budget = nullptr) {
    TMemoryStream src(in), dst;
    int calls = 0;
    TShowProgressEvent progress = [&calls, cancelAt](std::int32_t& p) {
        if (++calls == cancelAt) p = -1;
    };
    CodecEngine engine(dst, src, static_cast<std::int32_t>(in.size()), limit, progress, {});
    Outcome o;
    try {
        if (workers == 0)
            Lh5Compress(engine);
        else
            o.stats = Lh5CompressParallel(engine, {workers, budget, warm, cycles});
        engine.FlushOutput();
        o.checksum = engine.InputChecksum();
    } catch (const EUnableToCompress&) {
        o.refused = true;
    }
    o.bytes = dst.Data();
    return o;
}

TEST(Lh5ParallelCompress, GivesTheEncodersBytes) {
    const Bytes mixed = Mixed(1300000, 1);
    // Five chunks and more of log lines, whose cold finders keep failing with a short warm-up.
    Bytes text;
    for (std::uint32_t line = 0; text.size() < 2900000; ++line) {
        const std::string s = "INFO record " + std::to_string(line * 7919 % 100000) + " status=ok\n";
        text.insert(text.end(), s.begin(), s.end());
    }
    ThreadBudget none(0);
    ThreadBudget three(3);
    struct Case {
        const char* name;
        const Bytes& data;
        int threads;
        int warm;
        int cycles;
        ThreadBudget* budget;
        bool cold;  // chunks went to cold finders
    };
    const Bytes shortMixed(mixed.begin(), mixed.begin() + 400000);
    const Bytes shortText(text.begin(), text.begin() + 400000);
    const Bytes zeros(1300000, 0);
    const std::vector<Case> cases = {
        {"mixed, 2 threads", mixed, 2, kWarmUpCycles, 32, nullptr, true},
        {"mixed, 8 threads", mixed, 8, 4, 8, nullptr, true},
        {"mixed, short warm-up", mixed, 2, 1, 32, nullptr, true},
        {"log lines, short warm-up", text, 3, 1, kChunkCycles, nullptr, true},
        {"zeros", zeros, 2, kWarmUpCycles, 32, nullptr, true},
        {"many short chunks", shortMixed, 4, 2, 3, nullptr, true},
        {"many short chunks, least warm-up", shortText, 2, 1, 2, nullptr, true},
        {"one thread, an empty budget: all in order", mixed, 1, kWarmUpCycles, 32, &none, false},
        {"one thread and a budget of three", shortMixed, 1, 2, 3, &three, true},
    };
    int redone = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome one = Compress(c.data, 0);
        const Outcome many = Compress(c.data, c.threads, c.warm, 0x7FFFFFFF, 0, c.cycles, c.budget);
        EXPECT_GE(many.stats.chunks, 2);
        ASSERT_EQ(many.bytes, one.bytes);
        EXPECT_EQ(many.checksum, one.checksum);
        EXPECT_EQ(many.stats.cold > 0, c.cold);
        // Never more threads than the run's own and the budget's.
        EXPECT_LE(many.stats.mostThreads, c.threads + (c.budget == &three ? 3 : 0));
        if (c.threads >= 4) {
            EXPECT_GT(many.stats.mostThreads, 2);
        }
        // Never more cold chunks than chunks after the first; after two misses in a row some go in
        // order.
        EXPECT_LT(many.stats.cold, many.stats.chunks);
        redone += many.stats.redone;
    }
    EXPECT_EQ(three.Free(), 3);  // every thread taken was given back
    EXPECT_GT(redone, 0);        // the redo path ran
}

TEST(Lh5ParallelCompress, ShortInputsAndTheEndsOfTheInput) {
    const Bytes mixed = Mixed(1400000, 2);
    // Around the sizes where the first chunks are handed out.
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{8191}, std::size_t{8193},
                                std::size_t{811000}, std::size_t{827000}, std::size_t{1090000}}) {
        SCOPED_TRACE(n);
        const Bytes in(mixed.begin(), mixed.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(Compress(in, 2).bytes, Compress(in, 0).bytes);
    }
    // Refused at an output limit (early, or half way through the stream): the same bytes up to the
    // refusal.
    const auto whole = static_cast<std::int32_t>(Compress(mixed, 0).bytes.size());
    for (const std::int32_t limit : {1000, whole / 2}) {
        SCOPED_TRACE(limit);
        const Outcome one = Compress(mixed, 0, kWarmUpCycles, limit);
        const Outcome many = Compress(mixed, 2, kWarmUpCycles, limit);
        EXPECT_TRUE(one.refused);
        EXPECT_EQ(many.refused, one.refused);
        EXPECT_EQ(many.bytes, one.bytes);
    }
    // A cancel ends the input, the same way for both.
    for (const int cancelAt : {3, 80, 140}) {
        SCOPED_TRACE(cancelAt);
        const Outcome one = Compress(mixed, 0, kWarmUpCycles, 0x7FFFFFFF, cancelAt);
        EXPECT_EQ(Compress(mixed, 2, kWarmUpCycles, 0x7FFFFFFF, cancelAt).bytes, one.bytes);
    }
}

}  // namespace
}  // namespace qvx::lh5
