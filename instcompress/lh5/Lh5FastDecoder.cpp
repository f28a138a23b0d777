#include "Lh5FastDecoder.h"

#include <cstring>

#include "../CodecEngine.h"
#include "Lh5DecodeTable.h"

namespace qvx::lh5 {


namespace {

std::uint64_t LoadBigEndian64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// A symbol whose code is longer than the table is wide: walks its tree with the bits after the
// first tablebits of `bits` (the code starts at bit 63). Returns the symbol, or nchar and up when
// the code is broken (the careful decoder then raises the error).
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
    for (std::size_t i = 0; i < literal_.size(); ++i) {
        const unsigned j = ws_.LiteralTable[i];
        literal_[i] = j < kLiteralAlphabet ? j | static_cast<std::uint32_t>(ws_.LiteralLengths[j]) << 16 : j;
    }
    for (std::size_t i = 0; i < position_.size(); ++i) {
        const unsigned j = ws_.SmallTable[i];
        position_[i] = j < kPositionAlphabet ? j | static_cast<std::uint32_t>(ws_.SmallLengths[j]) << 16 : j;
    }
}

std::uint32_t Lh5FastDecoder::Decode(Run& run, Lh5BitInput& bits, CodecEngine& engine) const noexcept {
    // The bit buffer holds `left` valid bits from bit 63 down; below them may follow further bits
    // of the last word loaded, which a refill ORs in again unchanged.
    unsigned left = bits.Count();
    std::uint64_t bitbuf = bits.Accumulator() << (64 - left);
    const std::uint8_t* in = engine.InputCursor();
    const std::uint8_t* const inStop = engine.InputEnd() - 8;
    std::uint8_t* out = run.out;
    std::int64_t produced = run.produced;
    std::uint16_t remaining = run.blockRemaining;
    std::uint32_t symbols = 0;

    while (produced < run.destSize && remaining != 0 && in <= inStop && out <= run.outLimit) {
        // At least 56 bits after the refill; a symbol takes at most 16 + 16 + 12.
        bitbuf |= LoadBigEndian64(in) >> left;
        in += (63 - left) >> 3;
        left |= 56;

        const std::uint32_t entry = literal_[bitbuf >> (64 - kLiteralTableBits)];
        unsigned c = entry & 0xFFFF;
        if (c >= kLiteralAlphabet) [[unlikely]] {
            c = WalkTree(c, bitbuf, kLiteralAlphabet, kLiteralTableBits, ws_);
            if (c >= kLiteralAlphabet) break;
        }
        const unsigned codeLength = c == (entry & 0xFFFF) ? entry >> 16 : ws_.LiteralLengths[c];

        if (c < kFirstLengthSymbol) {
            bitbuf <<= codeLength;
            left -= codeLength;
            *out++ = static_cast<std::uint8_t>(c);
            ++produced;
            --remaining;
            ++symbols;
            continue;
        }

        // A match: its position code follows the length symbol at once.
        std::uint64_t rest = bitbuf << codeLength;
        const std::uint32_t posEntry = position_[rest >> (64 - kSmallTableBits)];
        unsigned j = posEntry & 0xFFFF;
        if (j >= kPositionAlphabet) [[unlikely]] {
            j = WalkTree(j, rest, kPositionAlphabet, kSmallTableBits, ws_);
            if (j >= kPositionAlphabet) break;
        }
        const unsigned posLength = j == (posEntry & 0xFFFF) ? posEntry >> 16 : ws_.SmallLengths[j];
        rest <<= posLength;
        unsigned distance = 0;  // the value d: the match copies from d + 1 bytes back
        unsigned extra = 0;
        if (j != 0) {
            extra = j - 1;
            distance = 1u << extra;
            if (extra != 0) {
                distance += static_cast<unsigned>(rest >> (64 - extra));
                rest <<= extra;
            }
        }
        bitbuf = rest;
        left -= codeLength + posLength + extra;

        const unsigned length = c - kLengthSymbolBias;
        const std::size_t back = std::size_t{distance} + 1;
        const std::uint8_t* src = out - back;
        std::uint8_t* dst = out;
        if (back >= 8) {
            // Word copies: each reads bytes already written; up to 7 bytes beyond the match are
            // scratch that later output overwrites.
            std::uint8_t* const end = out + length;
            do {
                std::memcpy(dst, src, 8);
                dst += 8;
                src += 8;
            } while (dst < end);
        } else if (back == 1) {
            std::memset(dst, *src, length);
        } else {
            for (unsigned k = 0; k < length; ++k) dst[k] = src[k];
        }
        out += length;
        produced += length;
        --remaining;
        ++symbols;
    }

    // Hand the bits back the way the careful reader holds them: 16 to 23 unconsumed bits, the
    // bytes behind them given back to the engine's buffer.
    std::uint64_t acc = bitbuf >> (64 - left);
    while (left < 16) {
        acc = (acc << 8) | *in++;
        left += 8;
    }
    while (left >= 24) {
        --in;
        acc >>= 8;
        left -= 8;
    }
    bits.Restore(acc, left);
    engine.SetInputCursor(in);
    run.out = out;
    run.produced = produced;
    run.blockRemaining = remaining;
    return symbols;
}

}  // namespace qvx::lh5
