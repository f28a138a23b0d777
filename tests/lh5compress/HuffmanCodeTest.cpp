// Code lengths and canonical codes of the LH5 Huffman construction, including its tie rules and
// the repair of trees deeper than 16.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "lh5/encode/HuffmanCode.h"

namespace qvx::lh5 {
namespace {

struct Code {
    // Lengths and codes start out as garbage, so that every value the build leaves is its own.
    explicit Code(int symbols)
        : n(symbols),
          freq(static_cast<std::size_t>(2 * symbols - 1)),
          lengths(static_cast<std::size_t>(symbols), 0xEE),
          codes(static_cast<std::size_t>(symbols), 0xEEEE) {}
    std::uint16_t Build() { return BuildHuffmanCode(n, freq.data(), lengths.data(), codes.data()); }
    std::vector<int> Lengths(int count) const { return std::vector<int>(lengths.begin(), lengths.begin() + count); }

    // Checks that the lengths fill the code space exactly and the codes are the canonical ones.
    void ExpectCanonicalAndFull() const {
        std::uint32_t space = 0;
        for (int s = 0; s < n; ++s)
            if (lengths[static_cast<std::size_t>(s)] != 0) space += 1u << (16 - lengths[static_cast<std::size_t>(s)]);
        EXPECT_EQ(space, 65536u);
        std::uint32_t next = 0;
        for (int len = 1; len <= 16; ++len)
            for (int s = 0; s < n; ++s)
                if (lengths[static_cast<std::size_t>(s)] == len) {
                    EXPECT_EQ(codes[static_cast<std::size_t>(s)], next) << "symbol " << s;
                    next += 1u << (16 - len);
                }
    }

    int n;
    std::vector<std::uint16_t> freq;
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint16_t> codes;
};

TEST(HuffmanCode, NoSymbolUsed) {
    Code c(14);
    EXPECT_EQ(c.Build(), 0);
    EXPECT_EQ(c.Lengths(14), std::vector<int>(14, 0));
    EXPECT_EQ(c.codes[0], 0);
}

TEST(HuffmanCode, OneSymbolUsed) {
    Code c(510);
    c.freq[65] = 40;
    EXPECT_EQ(c.Build(), 65);
    EXPECT_EQ(c.Lengths(510), std::vector<int>(510, 0));
    EXPECT_EQ(c.codes[65], 0);
    EXPECT_EQ(c.freq[65], 40);
}

TEST(HuffmanCode, TwoSymbolsGetOneBitEach) {
    Code c(14);
    c.freq[3] = 5;
    c.freq[7] = 1;
    const auto root = c.Build();
    EXPECT_EQ(root, 14);
    EXPECT_EQ(c.freq[root], 6);
    EXPECT_EQ(c.lengths[3], 1);
    EXPECT_EQ(c.lengths[7], 1);
    EXPECT_EQ(c.codes[3], 0x0000);
    EXPECT_EQ(c.codes[7], 0x8000);
}

TEST(HuffmanCode, ThreeSymbolsOneOneTwo) {
    Code c(19);
    c.freq[0] = 1;
    c.freq[1] = 1;
    c.freq[2] = 2;
    const auto root = c.Build();
    EXPECT_EQ(root, 19 + 3 - 2);
    EXPECT_EQ(c.freq[root], 4);
    EXPECT_EQ(c.Lengths(3), (std::vector<int>{2, 2, 1}));
    EXPECT_EQ(c.codes[2], 0x0000);
    EXPECT_EQ(c.codes[0], 0x8000);
    EXPECT_EQ(c.codes[1], 0xC000);
}

TEST(HuffmanCode, EqualWeightsFollowTheHeapTieRules) {
    // Symbol 0 leaves the heap first, then symbol 2 (moved to the top), so symbol 1 is the one
    // merged last and gets the short code.
    Code c(14);
    c.freq[0] = c.freq[1] = c.freq[2] = 1;
    c.Build();
    EXPECT_EQ(c.Lengths(3), (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(c.codes[1], 0x0000);
    EXPECT_EQ(c.codes[0], 0x8000);
    EXPECT_EQ(c.codes[2], 0xC000);
}

std::vector<std::uint16_t> Fibonacci(int count) {
    std::vector<std::uint16_t> f{1, 1};
    while (static_cast<int>(f.size()) < count)
        f.push_back(static_cast<std::uint16_t>(f[f.size() - 1] + f[f.size() - 2]));
    return f;
}

TEST(HuffmanCode, NineteenFibonacciFrequenciesAreCutToSixteenBits) {
    Code c(19);
    const auto fib = Fibonacci(19);
    for (int s = 0; s < 19; ++s) c.freq[static_cast<std::size_t>(s)] = fib[static_cast<std::size_t>(s)];
    c.Build();
    EXPECT_EQ(c.Lengths(19), (std::vector<int>{16, 16, 16, 16, 15, 15, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    c.ExpectCanonicalAndFull();
}

TEST(HuffmanCode, TwentyTwoFibonacciLiteralSymbols) {
    Code c(510);
    const auto fib = Fibonacci(22);
    for (int s = 0; s < 22; ++s) c.freq[static_cast<std::size_t>(s)] = fib[static_cast<std::size_t>(s)];
    c.Build();
    std::vector<int> expected(8, 16);
    for (int len : {14, 14, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}) expected.push_back(len);
    EXPECT_EQ(c.Lengths(22), expected);
    EXPECT_EQ(c.Lengths(510), [&] {
        auto v = expected;
        v.resize(510, 0);
        return v;
    }());
    c.ExpectCanonicalAndFull();
}

TEST(HuffmanCode, LargeAlphabetIsCompleteAndDeterministic) {
    Code a(510), b(510);
    std::uint32_t x = 12345;
    for (int s = 0; s < 510; ++s) {
        x = x * 1103515245u + 12345u;
        const auto f = static_cast<std::uint16_t>((x >> 16) % 9);  // many ties, some unused symbols
        a.freq[static_cast<std::size_t>(s)] = b.freq[static_cast<std::size_t>(s)] = f;
    }
    a.Build();
    b.Build();
    EXPECT_EQ(a.lengths, b.lengths);
    a.ExpectCanonicalAndFull();
    for (int s = 0; s < 510; ++s)
        EXPECT_EQ(a.lengths[static_cast<std::size_t>(s)] == 0, a.freq[static_cast<std::size_t>(s)] == 0) << s;
}

TEST(HuffmanCode, FitCodeLengthsRepairsOverfullDepths) {
    // Two leaves at depth 1 and three counted at 16 overfill the code space by 3 units.
    DepthCounts depth{};
    depth[1] = 2;
    depth[16] = 3;
    const std::array<std::uint16_t, 5> order{4, 3, 2, 1, 0};
    std::array<std::uint8_t, 5> lengths{};
    FitCodeLengths(depth, order.data(), lengths.data());
    // Three codes off length 16; each repetition splits the deepest shorter code.
    EXPECT_EQ(depth[1], 1);
    EXPECT_EQ(depth[2], 1);
    EXPECT_EQ(depth[3], 1);
    EXPECT_EQ(depth[4], 2);
    EXPECT_EQ(depth[16], 0);
    EXPECT_EQ(lengths, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 4}));
}

}  // namespace
}  // namespace qvx::lh5
