#include <gtest/gtest.h>

#include <random>

#include "LzhTestSupport.h"
#include "lzh/AdaptiveModel.h"

namespace qvx::lzhtest {
namespace {

using lzh::AdaptiveModel;

// Weights ordered, every internal node the sum of its children, parents consistent, every symbol's
// leaf where NodeParent says.
void ExpectConsistent(const AdaptiveModel& m) {
    for (int p = 0; p < AdaptiveModel::kNodes; ++p) {
        ASSERT_LE(m.NodeFreq[p], m.NodeFreq[p + 1]) << "position " << p;
        const int c = m.NodeChild[p];
        if (c >= AdaptiveModel::kLeaf) {
            ASSERT_EQ(m.LeafOf(c - AdaptiveModel::kLeaf), p);
        } else {
            ASSERT_EQ(c % 2, 0);
            ASSERT_LT(c + 1, p);
            ASSERT_EQ(m.NodeFreq[p], m.NodeFreq[c] + m.NodeFreq[c + 1]) << "position " << p;
            ASSERT_EQ(m.NodeParent[c], p);
            ASSERT_EQ(m.NodeParent[c + 1], p);
        }
    }
    ASSERT_EQ(m.NodeFreq[AdaptiveModel::kNodes], 0xFFFF);
    ASSERT_EQ(m.NodeParent[AdaptiveModel::kRoot], 0);
}

int LeafWeight(const AdaptiveModel& m, int s) { return m.NodeFreq[m.LeafOf(s)]; }

TEST(AdaptiveModel, InitialTree) {
    AdaptiveModel m;
    m.ModelInit();
    ExpectConsistent(m);
    EXPECT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 314);
    for (int s = 0; s < 314; ++s) EXPECT_EQ(CodeOf(m, s).size(), s < 116 ? 9u : 8u) << "symbol " << s;
    EXPECT_EQ(CodeOf(m, 0x61), "111101101");
    EXPECT_EQ(CodeOf(m, 0x74), "00000000");
}

TEST(AdaptiveModel, CodesAfterOneUpdate) {
    AdaptiveModel m;
    m.ModelInit();
    m.ModelUpdate(0);
    ExpectConsistent(m);
    EXPECT_EQ(CodeOf(m, 0), "11000101");
    EXPECT_EQ(CodeOf(m, 313), "110001100");
    EXPECT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 315);
    EXPECT_EQ(LeafWeight(m, 0), 2);
}

TEST(AdaptiveModel, EqualWeightDoesNotExchange) {
    // Symbol 313's leaf is followed by the first internal node (weight 2): reaching that weight
    // leaves the leaf where it is.
    AdaptiveModel m;
    m.ModelInit();
    const int before = m.LeafOf(313);
    m.ModelUpdate(313);  // weight 2, next position (314, an internal node) weighs 2
    EXPECT_EQ(m.LeafOf(313), before);
    ExpectConsistent(m);
}

TEST(AdaptiveModel, FirstRebuildAtUpdate32455) {
    AdaptiveModel m;
    m.ModelInit();
    for (int n = 0; n < 32454; ++n) m.ModelUpdate(42);
    EXPECT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 0x8000);
    EXPECT_EQ(LeafWeight(m, 42), 32455);
    ExpectConsistent(m);

    m.ModelUpdate(42);  // rebuilds first: 32455 halves to 16228, root 16541, then the update
    ExpectConsistent(m);
    EXPECT_EQ(LeafWeight(m, 42), 16229);
    EXPECT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 16542);
    for (int s = 0; s < 314; ++s) {
        if (s == 42) continue;
        ASSERT_EQ(LeafWeight(m, s), 1) << "symbol " << s;
    }
    // The heavy leaf sits directly under the root after the rebuild.
    EXPECT_EQ(CodeOf(m, 42).size(), 1u);
}

TEST(AdaptiveModel, RebuildHalvesRoundingUp) {
    AdaptiveModel m;
    m.ModelInit();
    m.ModelUpdate(5);  // weight 2
    m.ModelUpdate(7);
    m.ModelUpdate(7);                                  // weight 3
    for (int n = 0; n < 32451; ++n) m.ModelUpdate(9);  // root reaches 0x8000
    ASSERT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 0x8000);
    ASSERT_EQ(LeafWeight(m, 9), 32452);
    m.ModelUpdate(200);  // rebuild, then 200 goes from 1 to 2
    ExpectConsistent(m);
    EXPECT_EQ(LeafWeight(m, 5), 1);
    EXPECT_EQ(LeafWeight(m, 7), 2);
    EXPECT_EQ(LeafWeight(m, 9), 16226);
    EXPECT_EQ(LeafWeight(m, 200), 2);
    EXPECT_EQ(LeafWeight(m, 0), 1);
    EXPECT_EQ(m.NodeFreq[AdaptiveModel::kRoot], 1 + 2 + 16226 + 311 + 1);
}

TEST(AdaptiveModel, StaysConsistentThroughManyRebuilds) {
    AdaptiveModel m;
    m.ModelInit();
    std::mt19937 rng(1234);
    std::geometric_distribution<int> skewed(0.05);
    int rebuilds = 0;
    for (int n = 0; n < 200000; ++n) {
        const int s = std::min(313, skewed(rng) * 7 % 314);
        const auto rootBefore = m.NodeFreq[AdaptiveModel::kRoot];
        m.ModelUpdate(s);
        if (m.NodeFreq[AdaptiveModel::kRoot] < rootBefore) ++rebuilds;
        if (n % 251 == 0) ExpectConsistent(m);
        ASSERT_LE(m.NodeFreq[AdaptiveModel::kRoot], 0x8000);
    }
    ExpectConsistent(m);
    EXPECT_GE(rebuilds, 5);
    // Every symbol still has a code, and no code is longer than the bit writer carries.
    for (int s = 0; s < 314; ++s) EXPECT_LE(CodeOf(m, s).size(), 32u);
}

TEST(AdaptiveModel, UniformSymbolsMoveAcrossLongRunsOfEqualWeight) {
    // Evenly spread symbols keep hundreds of nodes at one weight: every exchange must land on the
    // last node of the run, which the sum and order checks see.
    AdaptiveModel m;
    m.ModelInit();
    m.ModelUpdate(0);
    EXPECT_EQ(m.LeafOf(0), 313);  // past the 313 other leaves of weight 1
    std::mt19937 rng(99);
    for (int n = 0; n < 100000; ++n) {
        m.ModelUpdate(static_cast<int>(rng() % 256));
        if (n % 97 == 0) ExpectConsistent(m);
    }
    ExpectConsistent(m);
}

}  // namespace
}  // namespace qvx::lzhtest
