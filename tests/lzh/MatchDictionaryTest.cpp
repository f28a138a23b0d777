#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>

#include "lzh/encode/MatchDictionary.h"

namespace qvx::lzhtest {
namespace {

using lzh::MatchDictionary;
constexpr int kNoNode = MatchDictionary::kNoNode;

// A window with its mirror, and a dictionary over it.
struct Fixture {
    std::uint8_t window[lzh::kWindowBytes + lzh::kWindowSlack] = {};
    std::unique_ptr<MatchDictionary> dict = std::make_unique<MatchDictionary>(window);
    std::set<int> present;

    Fixture() { dict->DictInit(); }

    void Set(int p, std::uint8_t b) {
        window[p] = b;
        if (p < lzh::kMaxMatch - 1) window[p + lzh::kWindowSize] = b;
    }
    int Lcp(int a, int b) const {
        int k = 0;
        while (k < lzh::kMaxMatch && window[a + k] == window[b + k]) ++k;
        return k;
    }
    int Compare(int a, int b) const { return std::memcmp(window + a, window + b, lzh::kMaxMatch); }

    // Inserts r and, when verify is set, checks the reported match against a brute-force search
    // over the present positions.
    void Insert(int r, bool verify = true) {
        int best = 0;
        if (verify)
            for (int q : present) best = std::max(best, Lcp(r, q));
        dict->DictInsert(r);
        const int p = (r - dict->MatchOffset - 1) & lzh::kWindowMask;
        if (verify) {
            if (best >= 3) {
                ASSERT_EQ(dict->MatchLength, best) << "inserting " << r;
                ASSERT_TRUE(present.count(p)) << "match at an absent position " << p;
                ASSERT_EQ(Lcp(r, p), best);
            } else {
                ASSERT_EQ(dict->MatchLength, 0) << "inserting " << r;
            }
        }
        if (dict->MatchLength == lzh::kMaxMatch) present.erase(p);  // the equal string is replaced
        present.insert(r);
    }
    void Delete(int p) {
        dict->DictDelete(p);
        present.erase(p);
    }

    // Walks one tree in order, checking links, prefix lengths and order; returns the nodes seen.
    void Walk(int node, int parent, int bucket, int& previous, int& count) const {
        if (node == kNoNode) return;
        ASSERT_GE(node, 0);
        ASSERT_LT(node, lzh::kWindowSize);
        ASSERT_EQ(dict->DictParent[node], parent);
        ASSERT_EQ(dict->BucketOf(node), bucket);
        ASSERT_TRUE(present.count(node)) << node;
        const int expectedPrefix = parent > kNoNode ? 1 : Lcp(node, parent);
        ASSERT_EQ(dict->DictPrefixLen[node], expectedPrefix) << "node " << node;
        ++count;
        Walk(dict->DictLeft[node], node, bucket, previous, count);
        if (previous >= 0) {
            ASSERT_LT(Compare(previous, node), 0) << previous << " before " << node;
        }
        previous = node;
        Walk(dict->DictRight[node], node, bucket, previous, count);
    }

    void CheckInvariants() const {
        int count = 0;
        for (int h = 0; h < MatchDictionary::kBuckets; ++h) {
            int previous = -1;
            Walk(dict->DictRight[MatchDictionary::kHeads + h], MatchDictionary::kHeads + h, h, previous, count);
            if (testing::Test::HasFatalFailure()) return;
        }
        ASSERT_EQ(count, static_cast<int>(present.size()));
        for (int p = 0; p < lzh::kWindowSize; ++p) {
            if (present.count(p)) continue;
            ASSERT_EQ(dict->DictParent[p], kNoNode) << p;
        }
    }
};

void FillRandom(Fixture& f, std::mt19937& rng, unsigned alphabet) {
    for (int p = 0; p < lzh::kWindowSize; ++p) f.Set(p, static_cast<std::uint8_t>('a' + rng() % alphabet));
}

TEST(MatchDictionary, EmptyBucketAndShortPrefixes) {
    Fixture f;
    std::memset(f.window, 'x', sizeof f.window);
    for (int i = 0; i < 60; ++i)
        f.Set(100 + i, static_cast<std::uint8_t>("ab"
                                                 "cdefgh"[i % 8]));
    f.Insert(100);
    EXPECT_EQ(f.dict->DictPrefixLen[100], 1);
    EXPECT_EQ(f.dict->MatchLength, 0);
    // Shares two bytes only ("ab" then a different third byte): no match.
    f.Set(300, 'a');
    f.Set(301, 'b');
    f.Set(302, 'z');
    f.Insert(300);
    EXPECT_EQ(f.dict->MatchLength, 0);
    f.CheckInvariants();
}

TEST(MatchDictionary, EqualStringReplacesTheOlderPosition) {
    Fixture f;
    std::mt19937 rng(3);
    FillRandom(f, rng, 3);
    // Positions 1000 and 2000 get the same 60 bytes; 1000 first collects some neighbours.
    for (int i = 0; i < 60; ++i) f.Set(2000 + i, f.window[1000 + i]);
    for (int p : {1000, 1001, 1500, 1700, 1800, 1900, 1950}) f.Insert(p);
    for (int p = 500; p < 560; ++p) f.Insert(p);
    f.CheckInvariants();
    const int left = f.dict->DictLeft[1000], right = f.dict->DictRight[1000];
    f.Insert(2000);
    EXPECT_EQ(f.dict->MatchLength, 60);
    EXPECT_EQ(f.dict->MatchOffset, 999);
    EXPECT_EQ(f.dict->DictParent[1000], kNoNode);
    EXPECT_EQ(f.dict->DictLeft[2000], left);
    EXPECT_EQ(f.dict->DictRight[2000], right);
    f.CheckInvariants();
}

TEST(MatchDictionary, DeletingAnAbsentPositionChangesNothing) {
    Fixture f;
    std::mt19937 rng(4);
    FillRandom(f, rng, 2);
    for (int p = 0; p < 300; ++p) f.Insert(p);
    auto before = std::make_unique<MatchDictionary>(*f.dict);
    f.Delete(3000);
    EXPECT_EQ(std::memcmp(before->DictRight, f.dict->DictRight, sizeof before->DictRight), 0);
    EXPECT_EQ(std::memcmp(before->DictLeft, f.dict->DictLeft, sizeof before->DictLeft), 0);
    EXPECT_EQ(std::memcmp(before->DictParent, f.dict->DictParent, lzh::kWindowSize * 2), 0);
    EXPECT_EQ(std::memcmp(before->DictPrefixLen, f.dict->DictPrefixLen, lzh::kWindowSize), 0);
    f.CheckInvariants();
}

TEST(MatchDictionary, RandomInsertsAndDeletesKeepTheInvariants) {
    for (unsigned alphabet : {2u, 3u, 26u}) {
        Fixture f;
        std::mt19937 rng(100 + alphabet);
        FillRandom(f, rng, alphabet);
        // A periodic stretch gives strings that are equal in all 60 bytes.
        for (int p = 3000; p < 3400; ++p) f.Set(p, f.window[3000 + (p - 3000) % 7]);
        for (int op = 0; op < 4000; ++op) {
            const int p = static_cast<int>(rng() % lzh::kWindowSize);
            if (rng() % 3 != 0) {
                if (!f.present.count(p)) f.Insert(p);
            } else {
                // Mostly present positions, so that every deletion case is met.
                auto it = f.present.lower_bound(p);
                f.Delete(it != f.present.end() && rng() % 4 != 0 ? *it : p);
            }
            if (HasFatalFailure()) return;
            if (op % 200 == 0) f.CheckInvariants();
        }
        f.CheckInvariants();
    }
}

TEST(MatchDictionary, SlidingLikeTheCompressor) {
    // Delete the position about to be overwritten, write the new byte (and its mirror), insert the
    // current position: the order the compressor keeps.
    Fixture f;
    std::mt19937 rng(77);
    for (int p = 0; p < lzh::kWindowSize; ++p) f.Set(p, 'a');
    int r = lzh::kWindowStart, s = 0;
    for (int i = 1; i <= lzh::kMaxMatch; ++i) f.Insert(r - i);
    f.Insert(r);
    for (int step = 0; step < 12000; ++step) {
        const std::uint8_t c = static_cast<std::uint8_t>((step / 500) % 2 ? 'a' + rng() % 2 : 'a' + rng() % 5);
        f.Delete(s);
        f.Set(s, c);
        s = (s + 1) & lzh::kWindowMask;
        r = (r + 1) & lzh::kWindowMask;
        f.Insert(r, step % 4 == 0);
        if (HasFatalFailure()) return;
        if (step % 1000 == 0) f.CheckInvariants();
    }
    f.CheckInvariants();
}

}  // namespace
}  // namespace qvx::lzhtest
