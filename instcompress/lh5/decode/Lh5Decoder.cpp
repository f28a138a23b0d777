#include "Lh5Decoder.h"

#include <algorithm>

#include <instcompress/Exceptions.h>

#include "Lh5DecodeTable.h"

namespace qvx::lh5 {

unsigned Lh5Decoder::WalkTree(unsigned j, unsigned nchar, unsigned tablebits, const std::uint8_t* lengths) {
    // A code with no symbols cannot decode anything. Tree walks stay inside the 16 bits of
    // look-ahead: codes are at most 16 bits long.
    if (j == kNoCodeEntry) throw ELZHBadDecodeTable();
    const unsigned bitBuf = bits_.BitBuf();
    unsigned bit = 1u << (15 - tablebits);
    while (j >= nchar) {
        if (bit == 0 || j >= kTreeNodeEntries) throw ELZHBadDecodeTable();
        j = (bitBuf & bit) ? ws_.RightLink[j] : ws_.LeftLink[j];
        bit >>= 1;
    }
    bits_.FillBits(lengths[j]);
    return j;
}

unsigned Lh5Decoder::DecodeCodeLengthSymbol() {
    const unsigned j = ws_.SmallTable[bits_.BitBuf() >> (Lh5BitInput::kLookAheadBits - kSmallTableBits)];
    if (j < kCodeLengthAlphabet) {
        bits_.FillBits(ws_.SmallLengths[j]);
        return j;
    }
    return WalkTree(j, kCodeLengthAlphabet, kSmallTableBits, ws_.SmallLengths.data());
}

void Lh5Decoder::ReadBlockHeader() {
    BlockRemaining = static_cast<std::uint16_t>(bits_.GetBits(kBlockSizeBits));
    ReadCodeLengthLengths(kCodeLengthAlphabet, kCodeLengthCountBits, kCodeLengthSkipIndex);
    ReadLiteralLengths();
    ReadCodeLengthLengths(kPositionAlphabet, kPositionCountBits, 0);
}

void Lh5Decoder::ReadCodeLengthLengths(unsigned nn, unsigned nbit, unsigned special) {
    const unsigned n = bits_.GetBits(nbit);
    if (n == 0) {
        // Single-symbol form: every symbol decodes as c and takes no bits.
        const unsigned c = bits_.GetBits(nbit);
        if (c >= nn) throw ELZHBadDecodeTable();
        std::fill_n(ws_.SmallLengths.begin(), nn, std::uint8_t{0});
        ws_.SmallTable.fill(static_cast<std::uint16_t>(c));
        return;
    }
    unsigned i = 0;
    while (i < n) {
        const unsigned bitBuf = bits_.BitBuf();
        unsigned v = bitBuf >> (Lh5BitInput::kLookAheadBits - kSmallLengthBits);
        if (v == kSmallLengthEscape) {
            // 111 followed by one 1 bit per further length step and a terminating 0 (at most 13
            // one bits are looked at, so v stays at most 20).
            for (unsigned bit = 1u << (15 - kSmallLengthBits); bit != 0 && (bitBuf & bit) != 0; bit >>= 1) ++v;
            bits_.FillBits(v - 3);
        } else {
            bits_.FillBits(kSmallLengthBits);
        }
        // Lengths beyond the alphabet are read and not used; lengths above 16 are refused by
        // MakeTable.
        if (i < nn) ws_.SmallLengths[i] = static_cast<std::uint8_t>(v);
        ++i;
        if (i == special) {
            // The skip field follows the third length, even when the count is 3.
            const unsigned k = bits_.GetBits(kCodeLengthSkipBits);
            for (unsigned m = 0; m < k; ++m, ++i) {
                if (i < nn) ws_.SmallLengths[i] = 0;
            }
        }
    }
    if (i < nn) std::fill(ws_.SmallLengths.begin() + i, ws_.SmallLengths.begin() + nn, std::uint8_t{0});
    MakeTable(nn, ws_.SmallLengths, kSmallTableBits, ws_.SmallTable, ws_.LeftLink, ws_.RightLink);
}

void Lh5Decoder::ReadLiteralLengths() {
    const unsigned n = bits_.GetBits(kLiteralCountBits);
    if (n == 0) {
        const unsigned c = bits_.GetBits(kLiteralCountBits);
        if (c >= kLiteralAlphabet) throw ELZHBadDecodeTable();
        ws_.LiteralLengths.fill(0);
        ws_.LiteralTable.fill(static_cast<std::uint16_t>(c));
        return;
    }
    // The count field can say 511, one more than the alphabet: a single length at index 510 is
    // read and not used, but no zero run may reach past index 509.
    unsigned i = 0;
    while (i < n) {
        const unsigned t = DecodeCodeLengthSymbol();
        if (t == 0) {
            if (i < kLiteralAlphabet) ws_.LiteralLengths[i] = 0;
            ++i;
        } else if (t <= 2) {
            const unsigned run = t == 1 ? bits_.GetBits(kShortZeroRunBits) + kShortZeroRunBase
                                        : bits_.GetBits(kLongZeroRunBits) + kLongZeroRunBase;
            if (i + run > kLiteralAlphabet) throw ELZHBadDecodeTable();
            std::fill_n(ws_.LiteralLengths.begin() + i, run, std::uint8_t{0});
            i += run;
        } else {
            if (i < kLiteralAlphabet) ws_.LiteralLengths[i] = static_cast<std::uint8_t>(t - kCodeLengthSymbolBias);
            ++i;
        }
    }
    if (i < kLiteralAlphabet) std::fill(ws_.LiteralLengths.begin() + i, ws_.LiteralLengths.end(), std::uint8_t{0});
    MakeTable(kLiteralAlphabet, ws_.LiteralLengths, kLiteralTableBits, ws_.LiteralTable, ws_.LeftLink, ws_.RightLink);
}

}  // namespace qvx::lh5
