// The items the LH5 encoder chooses: the lazy match decision, the clamp to the end of the input,
// the window's reach and the slides.
#include <gtest/gtest.h>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

TEST(Lh5Parse, EmptyInputHasNoItems) { EXPECT_TRUE(ParseItems({}).empty()); }

TEST(Lh5Parse, ShortExamples) {
    EXPECT_EQ(ParseItems(FromText("aaaa")), (std::vector<Item>{{'a', 0}, {256, 0}}));
    EXPECT_EQ(ParseItems(FromText("abcabcabcabc")), (std::vector<Item>{{'a', 0}, {'b', 0}, {'c', 0}, {9 + 253, 2}}));
    EXPECT_EQ(ParseItems(FromText("aa")), (std::vector<Item>{{'a', 0}, {'a', 0}}));
}

TEST(Lh5Parse, LongRunIsClampedToTheInput) {
    EXPECT_EQ(ParseItems(Bytes(300, 'a')), (std::vector<Item>{{'a', 0}, {256 + 253, 0}, {43 + 253, 0}}));
    // Two bytes left after a long match: they go out as literals.
    EXPECT_EQ(ParseItems(Bytes(259, 'a')), (std::vector<Item>{{'a', 0}, {509, 0}, {'a', 0}, {'a', 0}}));
}

TEST(Lh5Parse, LazyMatchPrefersTheLongerMatchAtTheNextPosition) {
    const auto items = ParseItems(FromText("abcXbcdeYabcde"));
    ASSERT_EQ(items.size(), 11u);
    EXPECT_EQ(items[9], (Item{'a', 0}));
    EXPECT_EQ(items[10], (Item{4 + 253, 5}));
}

// Items after the first `skip` input bytes.
std::vector<Item> ItemsFrom(const std::vector<Item>& items, std::size_t skip) {
    std::size_t at = 0;
    std::vector<Item> rest;
    for (const Item& it : items) {
        if (at >= skip) rest.push_back(it);
        at += it.Length();
    }
    return rest;
}

TEST(Lh5Parse, BlockRepeatedAt8191IsFoundAtPositionCode8190) {
    const Bytes block = RandomBytes(8191, 11);
    Bytes input = block;
    input.insert(input.end(), block.begin(), block.end());
    const auto items = ParseItems(input);
    ASSERT_EQ(ReplayItems(items), input);
    const auto second = ItemsFrom(items, 8191);
    ASSERT_FALSE(second.empty());
    std::size_t covered = 0;
    for (const Item& it : second) {
        EXPECT_TRUE(it.IsMatch());
        EXPECT_EQ(it.position, 8190u);
        covered += it.Length();
    }
    EXPECT_EQ(covered, 8191u);
}

TEST(Lh5Parse, BlockRepeatedAt8192IsOutOfReach) {
    const Bytes block = RandomBytes(8192, 11);
    Bytes input = block;
    input.insert(input.end(), block.begin(), block.end());
    const auto items = ParseItems(input);
    ASSERT_EQ(ReplayItems(items), input);
    std::size_t literals = 0;
    for (const Item& it : ItemsFrom(items, 8192)) {
        EXPECT_LT(it.Length(), 16u);  // only chance matches of random data
        if (!it.IsMatch()) ++literals;
    }
    EXPECT_GT(literals, 7000u);
}

TEST(Lh5Parse, ItemsRebuildTheInput) {
    // Sizes around the first and second slide, and data with long and short repeats.
    std::vector<Bytes> inputs;
    for (std::size_t n : {1u,    2u,    3u,    4u,    255u,  256u,  257u,   258u,   7935u,  7936u,  7937u,
                          8191u, 8192u, 8193u, 8447u, 8448u, 8449u, 16127u, 16128u, 16129u, 16384u, 24320u}) {
        Bytes b = RandomBytes(n, static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(b[i] % 4);  // small alphabet
        inputs.push_back(b);
    }
    Bytes runs;
    for (int i = 0; i < 60000; ++i) runs.push_back(static_cast<std::uint8_t>((i / 700) % 3 == 0 ? 'x' : i % 251));
    inputs.push_back(runs);
    Bytes periodic;  // repeats at many distances, also beyond the window
    for (std::uint32_t i = 0; i < 70000; ++i)
        periodic.push_back(static_cast<std::uint8_t>((i * i / 97) % 256 ^ (i % 8191 == 0)));
    inputs.push_back(periodic);
    for (const Bytes& in : inputs) {
        const auto items = ParseItems(in);
        for (const Item& it : items) {
            if (it.IsMatch()) {
                ASSERT_GE(it.Length(), 3u);
                ASSERT_LE(it.position, 8190u);
            }
        }
        ASSERT_EQ(ReplayItems(items), in) << "size " << in.size();
    }
}

}  // namespace
}  // namespace qvx::lh5test
