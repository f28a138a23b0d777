#include "Lh5FastDecoder.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "../../CodecEngine.h"
#include "Lh5DecodeTable.h"

namespace qvx::lh5 {

namespace {

std::uint64_t LoadBigEndian64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// An entry's code length (bits 8..13).
constexpr unsigned CodeBits(std::uint32_t e) noexcept { return (e >> 8) & 0xFF; }

std::uint32_t LiteralEntry(unsigned c, unsigned codeLength) noexcept {
    return c < kFirstLengthSymbol ? Lh5FastDecoder::kLiteral | codeLength << 8 | c
                                  : (c - kLengthSymbolBias) << 16 | codeLength << 8;
}

// A position entry: the bits the position takes (its code and the extra bits, at most 28) in bits
// 0..4, the mask of the extra bits in bits 5..16, and the distance of the symbol's first position
// (d + 1, 1..4097) in bits 17..29.
std::uint32_t PositionEntry(unsigned j, unsigned codeLength) noexcept {
    const unsigned extra = j == 0 ? 0 : j - 1;
    const unsigned back = j == 0 ? 1 : (1u << extra) + 1;
    return back << 17 | ((1u << extra) - 1) << 5 | (codeLength + extra);
}

// Fills a decode table of the fast loop from the careful decoder's table: a symbol with a code of
// length L <= tablebits fills 2^(tablebits - L) slots in a row, which are filled at once.
template <std::size_t N, class Entry>
void FillTable(std::uint32_t* fast, const std::uint16_t* table, const std::uint8_t* lengths, unsigned nchar,
               unsigned tablebits, Entry entry) noexcept {
    for (std::size_t i = 0; i < N;) {
        const unsigned j = table[i];
        std::size_t n = 1;
        std::uint32_t e = Lh5FastDecoder::kLongCode | j;
        if (j < nchar) {
            const unsigned length = lengths[j];
            e = entry(j, length);
            if (length <= tablebits) n = std::min<std::size_t>(std::size_t{1} << (tablebits - length), N - i);
        }
        std::fill_n(fast + i, n, e);
        i += n;
    }
}

// A symbol whose code is longer than the table walks its tree with the bits after the first
// tablebits of `bits` (the code starts at bit 63). Returns the symbol, or nchar and up when the code
// is broken (the careful decoder then raises the error).
unsigned WalkTree(unsigned j, std::uint64_t bits, unsigned nchar, unsigned tablebits, const Lh5Workspace& ws) noexcept {
    if (j == kNoCodeEntry) return kNoCodeEntry;
    std::uint64_t bit = std::uint64_t{1} << (63 - tablebits);
    constexpr std::uint64_t kLastBit = std::uint64_t{1} << (64 - kMaxCodeLength);
    while (j >= nchar) {
        if (bit < kLastBit || j >= kTreeNodeEntries) return kNoCodeEntry;
        j = (bits & bit) ? ws.RightLink[j] : ws.LeftLink[j];
        bit >>= 1;
    }
    return j;
}

}  // namespace

void Lh5FastDecoder::Prepare() noexcept {
    FillTable<kLiteralSlots>(tables_.data(), ws_.LiteralTable.data(), ws_.LiteralLengths.data(), kLiteralAlphabet,
                             kLiteralTableBits, LiteralEntry);
    FillTable<kPositionSlots>(tables_.data() + kLiteralSlots, ws_.SmallTable.data(), ws_.SmallLengths.data(),
                              kPositionAlphabet, kSmallTableBits, PositionEntry);
}

std::uint32_t Lh5FastDecoder::Decode(Run& run, Lh5BitInput& bits, CodecEngine& engine) const noexcept {
    // The bit buffer holds `left` valid bits from bit 63 down; below them may follow further bits
    // of the last word loaded, which a refill ORs in again unchanged.
    unsigned left = bits.Count();
    std::uint64_t bitbuf = bits.Accumulator() << (64 - left);
    const std::uint8_t* in = engine.InputCursor();
    std::uint8_t* out = run.out;
    const std::int64_t room = run.destSize - run.produced;  // bytes until Destsize
    unsigned remaining = run.blockRemaining;
    // One pass of the loop decodes up to four symbols: up to three literals before a match or a
    // fourth literal. It starts only where all of them may: each starts before Destsize (the last
    // one at most 3 bytes after out), the block holds four more, the line has room for the three
    // literals and a whole match with its word copy's overshoot (outLimit), and the input buffer
    // holds the 16 bytes that two refills may load.
    if (room <= kPassLiterals || in + kInputMargin > engine.InputEnd() || run.out > run.outLimit) return 0;
    // The history a match copies from, and the line's room past outLimit for the last match.
    assert(run.out - ws_.Output.data() >= static_cast<std::ptrdiff_t>(kMaxDistance));
    assert(run.outLimit + kMaxMatch + kCopyOvershoot <= ws_.Output.data() + ws_.Output.size());
    // The careful reader's state: 16 to 23 valid bits.
    assert(left >= Lh5BitInput::kLookAheadBits && left < Lh5BitInput::kLookAheadBits + 8);
    const std::uint8_t* const inStop = engine.InputEnd() - kInputMargin;
    std::uint8_t* const outStop =
        out + std::min<std::int64_t>(room - kPassLiterals, run.outLimit - out - (kPassLiterals - 1));
    const std::uint32_t* const lit = tables_.data();
    const std::uint32_t* const pos = tables_.data() + kLiteralSlots;

    // At least kRefillBits (56) bits after a refill: enough for four literals from the table (12
    // bits each), or a match (kMatchBits: a 16-bit length code, a 16-bit position code and 12
    // extra bits) after a second one.
    auto refill = [&] {
        bitbuf |= LoadBigEndian64(in) >> left;
        in += (left ^ 63) >> 3;  // 63 - left: the whole bytes that fit below the valid bits
        left |= kRefillBits;
    };
    auto literal = [&](std::uint32_t e) {
        const unsigned n = CodeBits(e);
        bitbuf <<= n;
        left -= n;
        *out++ = static_cast<std::uint8_t>(e);
    };
    auto lookup = [&] { return lit[bitbuf >> (64 - kLiteralTableBits)]; };

    // A pass takes at most kPassInputBytes input bytes (two refills), makes at most
    // kPassOutputBytes output bytes and decodes at most kPassLiterals + 1 symbols; so a number of
    // passes may run with no test but a count, worked out again when it runs out.
    constexpr unsigned kPassSymbols = kPassLiterals + 1;
    std::int64_t passes = 0;
    for (;;) {
        if (passes-- == 0) {
            if (in > inStop || out >= outStop || remaining < kPassSymbols) break;
            passes = std::min({(inStop - in) / kPassInputBytes + 1,
                               (outStop - out + kPassOutputBytes - 1) / kPassOutputBytes,
                               static_cast<std::int64_t>(remaining / kPassSymbols)}) -
                     1;
        }
        refill();
        std::uint32_t e = lookup();
        if (e & kLiteral) {
            literal(e);
            e = lookup();
            if (e & kLiteral) {
                literal(e);
                e = lookup();
                if (e & kLiteral) {
                    literal(e);
                    e = lookup();
                    if (e & kLiteral) {
                        literal(e);
                        remaining -= kPassSymbols;
                        continue;
                    }
                    remaining -= 3;
                } else {
                    remaining -= 2;
                }
            } else {
                remaining -= 1;
            }
            // After one literal at least kMatchBits (44) bits are left, enough for anything; after
            // more, maybe not.
            if (left < kMatchBits) refill();
        }
        // A match, or a code longer than the table.
        if (e & kLongCode) [[unlikely]] {
            const unsigned c = WalkTree(e & 0xFFFF, bitbuf, kLiteralAlphabet, kLiteralTableBits, ws_);
            if (c >= kLiteralAlphabet) break;
            e = LiteralEntry(c, ws_.LiteralLengths[c]);
            if (e & kLiteral) {
                literal(e);
                --remaining;
                continue;
            }
        }
        // Its position code follows the length symbol at once.
        const unsigned lengthBits = CodeBits(e);
        std::uint64_t rest = bitbuf << lengthBits;
        std::uint32_t p = pos[rest >> (64 - kSmallTableBits)];
        if (p & kLongCode) [[unlikely]] {
            const unsigned j = WalkTree(p & 0xFFFF, rest, kPositionAlphabet, kSmallTableBits, ws_);
            if (j >= kPositionAlphabet) break;
            p = PositionEntry(j, ws_.SmallLengths[j]);
        }
        // The top `taken` bits of rest are the position's code and extra bits; the extra bits
        // add to the distance of the symbol's first position. (With no bits at all, the shift is
        // by 0 and the mask 0.)
        const unsigned taken = p & 0x1F;
        const auto extraBits = static_cast<unsigned>((rest >> ((64 - taken) & 63)) & ((p >> 5) & 0xFFF));
        const std::size_t back = (p >> 17) + extraBits;  // the match copies from back bytes back
        const unsigned used = lengthBits + taken;        // at most kMatchBits
        bitbuf <<= used;
        left -= used;

        const unsigned length = e >> 16;  // a match entry has no flag set
        const std::uint8_t* src = out - back;
        std::uint8_t* dst = out;
        if (back >= 8) {
            // Word copies: each reads bytes already written; up to kCopyOvershoot bytes beyond the match are
            // scratch that later output overwrites. Most matches take the first two words only.
            std::memcpy(dst, src, 8);
            std::memcpy(dst + 8, src + 8, 8);
            if (length > 16) {
                std::uint8_t* const end = out + length;
                dst += 16;
                src += 16;
                do {
                    std::memcpy(dst, src, 8);
                    dst += 8;
                    src += 8;
                } while (dst < end);
            }
        } else if (back == 1) {
            std::memset(dst, *src, length);
        } else {
            for (unsigned k = 0; k < length; ++k) dst[k] = src[k];
        }
        out += length;
        --remaining;
    }

    // Hand the bits back the way the careful reader holds them: 16 to 23 unconsumed bits, the
    // bytes behind them given back to the engine's buffer.
    std::uint64_t acc = bitbuf >> (64 - left);
    while (left < Lh5BitInput::kLookAheadBits) {
        acc = (acc << 8) | *in++;
        left += 8;
    }
    while (left >= Lh5BitInput::kLookAheadBits + 8) {
        --in;
        acc >>= 8;
        left -= 8;
    }
    bits.Restore(acc, left);
    engine.SetInputCursor(in);
    const std::uint32_t symbols = run.blockRemaining - remaining;
    run.produced += out - run.out;
    run.out = out;
    run.blockRemaining = static_cast<std::uint16_t>(remaining);
    return symbols;
}

}  // namespace qvx::lh5
