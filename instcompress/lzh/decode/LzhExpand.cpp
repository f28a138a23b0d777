// LzhExpand: decodes an LZH stream.
//
// The stream is a plain bit sequence (most significant bit of each byte first, the last byte padded
// with zero bits) with no header and no end marker; the expanded size comes from outside. It is a
// sequence of items, each starting with one symbol in the current adaptive code: 0..255 is a literal
// byte, 256..313 a match of length symbol - 253 followed by its offset (distance minus one, 0..4095):
// the upper six bits in the fixed offset code, then the lower six bits verbatim. The model is
// updated after every symbol. Matches copy from a 4096-byte ring whose first 4036 bytes start as
// spaces; writing starts at 4036.
//
// Any bit sequence decodes: every path through the tree ends at a leaf and every 8-bit value starts
// an offset code, so damaged input only gives wrong bytes (which the checksum reports), or runs
// past the end of the input (which a checked expansion stops at). A match is always written whole,
// so up to 59 bytes beyond the expanded size may be written (a checked expansion refuses them).
#include <algorithm>
#include <memory>

#include "../../CodecEngine.h"
#include "LzhBitInput.h"
#include "LzhExpand.h"
#include "../LzhWorkspace.h"
#include "../OffsetCode.h"

namespace qvx::lzh {

namespace {

int LzhDecodeSymbol(AdaptiveModel& model, LzhBitInput& in) {
    int c = model.NodeChild[AdaptiveModel::kRoot];
    while (c < AdaptiveModel::kLeaf) c = model.NodeChild[c + static_cast<int>(in.LzhReadBit())];
    const int symbol = c - AdaptiveModel::kLeaf;
    model.ModelUpdate(symbol);
    return symbol;
}

int LzhDecodeOffset(LzhBitInput& in) {
    const unsigned b = in.LzhReadBits(8);
    const unsigned high = OffsetDecodeHigh[b];
    const unsigned extra = OffsetDecodeLen[b] - 2u;  // 1..6 bits still to read
    const unsigned e = in.LzhReadBits(extra);
    const unsigned low = ((b << extra) | e) & 0x3Fu;
    return static_cast<int>(high * 64 + low);
}

}  // namespace

void LzhExpand(CodecEngine& engine, std::int32_t expandedSize) {
    if (expandedSize <= 0) return;

    const std::unique_ptr<LzhWorkspace> workspace = LzhAllocateWorkspace();
    AdaptiveModel& model = workspace->Model;
    std::uint8_t* const window = workspace->LzhWindow;
    model.ModelInit();
    LzhBitInput in(engine);

    for (int i = 0; i < kWindowStart; ++i) window[i] = kWindowFill;
    unsigned r = kWindowStart;
    std::int64_t produced = 0;  // may pass expandedSize by up to 59 bytes

    while (produced < expandedSize) {
        const int s = LzhDecodeSymbol(model, in);
        if (s < kFirstLengthSymbol) {
            if (in.PastEnd()) [[unlikely]]
                engine.UsedPastEnd();
            const auto b = static_cast<std::uint8_t>(s);
            engine.WriteByte(b);
            window[r] = b;
            r = (r + 1) & kWindowMask;
            ++produced;
        } else {
            const auto offset = static_cast<unsigned>(LzhDecodeOffset(in));
            if (in.PastEnd()) [[unlikely]]
                engine.UsedPastEnd();
            const unsigned from = (r - offset - 1) & kWindowMask;
            const auto length = static_cast<unsigned>(s - kLengthSymbolBias);
            // In increasing order, one byte at a time: a match may overlap the bytes it produces.
            // The bytes go to the window first and to the engine in at most two pieces.
            const unsigned start = r;
            if (r + length <= kWindowSize && from + length <= kWindowSize) {
                std::uint8_t* const dst = window + r;
                const std::uint8_t* const src = window + from;
                for (unsigned k = 0; k < length; ++k) dst[k] = src[k];
                r = (r + length) & kWindowMask;
            } else {
                for (unsigned k = 0, f = from; k < length; ++k) {
                    window[r] = window[f];
                    r = (r + 1) & kWindowMask;
                    f = (f + 1) & kWindowMask;
                }
            }
            const unsigned first = std::min(length, kWindowSize - start);
            engine.WriteBytes(window + start, first);
            engine.WriteBytes(window, length - first);
            produced += length;
        }
    }
    engine.ReportInputBitsUsed(in.BitsUsed());
}

}  // namespace qvx::lzh
