#include <gtest/gtest.h>

#include <array>
#include <vector>

#include <instcompress/Exceptions.h>

#include "lh5/decode/Lh5DecodeTable.h"
#include "lh5/Lh5Format.h"

namespace qvx::lh5 {
namespace {

struct Tables {
    std::vector<std::uint16_t> table = std::vector<std::uint16_t>(4096, 0x5555);
    std::array<std::uint16_t, lh5::kTreeNodeEntries> left{}, right{};
    void Make(const std::vector<std::uint8_t>& lengths, unsigned tablebits) {
        MakeTable(static_cast<unsigned>(lengths.size()), lengths, tablebits, table, left, right);
    }
    // Decodes the code whose bits are the top bits of a 16-bit word, as the decoder does; returns
    // the symbol.
    unsigned Lookup(std::uint16_t bits, unsigned nchar, unsigned tablebits) const {
        unsigned j = table[bits >> (16 - tablebits)];
        unsigned mask = 1u << (15 - tablebits);
        while (j >= nchar) {
            j = (bits & mask) ? right.at(j) : left.at(j);
            mask >>= 1;
        }
        return j;
    }
};

TEST(Lh5MakeTable, TwoOneBitCodes) {
    Tables t;
    t.Make({1, 1}, 8);
    for (unsigned i = 0; i < 128; ++i) ASSERT_EQ(t.table[i], 0) << i;
    for (unsigned i = 128; i < 256; ++i) ASSERT_EQ(t.table[i], 1) << i;
    EXPECT_EQ(t.table[256], 0x5555);  // nothing written past 2^tablebits
}

TEST(Lh5MakeTable, CanonicalCodesShorterFirst) {
    // Codes 0, 10, 110, 111.
    Tables t;
    t.Make({1, 2, 3, 3}, 8);
    EXPECT_EQ(t.table[0x00], 0);
    EXPECT_EQ(t.table[0x7F], 0);
    EXPECT_EQ(t.table[0x80], 1);
    EXPECT_EQ(t.table[0xBF], 1);
    EXPECT_EQ(t.table[0xC0], 2);
    EXPECT_EQ(t.table[0xDF], 2);
    EXPECT_EQ(t.table[0xE0], 3);
    EXPECT_EQ(t.table[0xFF], 3);
}

TEST(Lh5MakeTable, AscendingSymbolsWithinALength) {
    // Lengths {3, 2, 3, 2, 2}: length 2 first (symbols 1, 3, 4 -> 00, 01, 10), then length 3
    // (symbols 0, 2 -> 110, 111).
    Tables t;
    t.Make({3, 2, 3, 2, 2}, 8);
    EXPECT_EQ(t.Lookup(0x0000, 5, 8), 1u);
    EXPECT_EQ(t.Lookup(0x4000, 5, 8), 3u);
    EXPECT_EQ(t.Lookup(0x8000, 5, 8), 4u);
    EXPECT_EQ(t.Lookup(0xC000, 5, 8), 0u);
    EXPECT_EQ(t.Lookup(0xE000, 5, 8), 2u);
}

TEST(Lh5MakeTable, RejectsInconsistentLists) {
    Tables t;
    EXPECT_THROW(t.Make({1, 1, 1}, 8), ELZHBadDecodeTable);      // 98304
    EXPECT_THROW(t.Make({1, 2}, 8), ELZHBadDecodeTable);         // incomplete, 49152
    EXPECT_THROW(t.Make({1, 1, 1, 1}, 8), ELZHBadDecodeTable);   // over-full: 131072 = 0 mod 65536
    EXPECT_THROW(t.Make({1, 1, 0, 17}, 8), ELZHBadDecodeTable);  // length above 16
    try {
        t.Make({1, 2}, 8);
        FAIL();
    } catch (const ELZHBadDecodeTable& e) {
        EXPECT_STREQ(e.what(), "Bad decode table in archive!");
    }
}

TEST(Lh5MakeTable, AllZeroLengthsMakeAnEmptyCode) {
    Tables t;
    t.Make(std::vector<std::uint8_t>(14, 0), 8);
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(t.table[i], kNoCodeEntry);
}

TEST(Lh5MakeTable, CodesLongerThanTheTableUseTheTree) {
    // 510 symbols: symbol 0 with 1 bit, then lengths chosen so that symbols 1..4 get 13-bit and
    // 16-bit codes: build a complete code by halving.
    std::vector<std::uint8_t> lengths(510, 0);
    // 1, 2, 3, ..., 12 for symbols 0..11, then 13 for symbols 12..13 would complete it; split the
    // last 13-bit code further down to 16 bits.
    for (unsigned s = 0; s < 12; ++s) lengths[s] = static_cast<std::uint8_t>(s + 1);
    lengths[12] = 13;  // code 1111 1111 1111 0
    lengths[13] = 14;  // 1111 1111 1111 10
    lengths[14] = 15;  // 1111 1111 1111 110
    lengths[15] = 16;  // 1111 1111 1111 1110
    lengths[16] = 16;  // 1111 1111 1111 1111
    Tables t;
    t.Make(lengths, 12);
    EXPECT_EQ(t.table[0], 0);
    EXPECT_EQ(t.table[0xFFE], 11);
    EXPECT_GE(t.table[0xFFF], 510);  // the root of the tree for the longer codes
    EXPECT_EQ(t.Lookup(0xFFF0, 510, 12), 12u);
    EXPECT_EQ(t.Lookup(0xFFF7, 510, 12), 12u);
    EXPECT_EQ(t.Lookup(0xFFF8, 510, 12), 13u);
    EXPECT_EQ(t.Lookup(0xFFFC, 510, 12), 14u);
    EXPECT_EQ(t.Lookup(0xFFFE, 510, 12), 15u);
    EXPECT_EQ(t.Lookup(0xFFFF, 510, 12), 16u);
    EXPECT_EQ(t.Lookup(0x8000, 510, 12), 1u);
}

TEST(Lh5MakeTable, RefusesToBuildMoreTreeNodesThanItHas) {
    // Codes 0, 10, 110, 1110, 1111 with a 2-bit table: the slot 11 roots a tree of two nodes
    // (numbered 5 and 6); with room for only one node the build must stop.
    std::vector<std::uint8_t> lengths = {1, 2, 3, 4, 4};
    std::vector<std::uint16_t> table(4);
    std::vector<std::uint16_t> left(5 + 1), right(5 + 1);
    EXPECT_THROW(MakeTable(5, lengths, 2, table, left, right), ELZHBadDecodeTable);
    std::vector<std::uint16_t> left2(5 + 2), right2(5 + 2);
    ASSERT_NO_THROW(MakeTable(5, lengths, 2, table, left2, right2));
    EXPECT_EQ(table[3], 5);
    EXPECT_EQ(left2[5], 2);
    EXPECT_EQ(right2[5], 6);
    EXPECT_EQ(left2[6], 3);
    EXPECT_EQ(right2[6], 4);
}

}  // namespace
}  // namespace qvx::lh5
