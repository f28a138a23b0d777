// LzhCompress: produces the LZH stream (the format is described with LzhExpand) from the whole
// input. A 4096-byte window slides over the input with a lookahead of up to 60 bytes; at every step
// the match dictionary gives the best earlier match of the string at the current position, and
// either a literal or a length with its offset is sent, each symbol in the adaptive code. The
// engine's output limit ends runs whose output grows too large.
#include <memory>

#include "../../CodecEngine.h"
#include "LzhBitOutput.h"
#include "LzhCompress.h"
#include "MatchDictionary.h"
#include "../LzhWorkspace.h"
#include "../OffsetCode.h"

namespace qvx::lzh {

namespace {

// The compressor's storage: the run's workspace and the match dictionary over its window.
struct CompressStorage {
    LzhWorkspace Run;
    MatchDictionary Dict{Run.LzhWindow};
};

void LzhEncodeSymbol(AdaptiveModel& model, LzhBitOutput& out, int s) {
    // Collect the path from the leaf up; the bit nearest the root ends in bit 31.
    int k = model.LeafOf(s);
    std::uint32_t code = 0;
    unsigned n = 0;
    do {
        code = (code >> 1) | (static_cast<std::uint32_t>(k & 1) << 31);
        ++n;
        k = model.NodeParent[k];
    } while (k != AdaptiveModel::kRoot);
    if (n > 16) {
        out.LzhPutBits(16, code >> 16);
        out.LzhPutBits(n - 16, code & 0xFFFFu);
    } else {
        out.LzhPutBits(n, code >> 16);
    }
    model.ModelUpdate(s);
}

void LzhEncodeOffset(LzhBitOutput& out, int o) {
    const auto u = static_cast<std::size_t>(o >> 6);
    out.LzhPutBits(OffsetCodeLen[u], static_cast<std::uint32_t>(OffsetCode[u]) << 8);
    out.LzhPutBits(6, static_cast<std::uint32_t>(o & 0x3F) << 10);
}

}  // namespace

void LzhCompress(CodecEngine& engine) {
    const std::unique_ptr<CompressStorage> storage = LzhAllocateWorkspace<CompressStorage>();
    AdaptiveModel& model = storage->Run.Model;
    MatchDictionary& dict = storage->Dict;
    std::uint8_t* const window = storage->Run.LzhWindow;
    model.ModelInit();
    dict.DictInit();
    LzhBitOutput out(engine);

    for (int i = 0; i < kWindowStart; ++i) window[i] = kWindowFill;
    int r = kWindowStart;  // the first byte not yet coded
    int s = 0;             // the position overwritten next: r - 4036

    int lookahead = 0;
    while (lookahead < kMaxMatch) {
        const std::uint8_t c = engine.ReadByte();
        if (engine.EndOfInput()) break;
        window[kWindowStart + lookahead] = c;
        ++lookahead;
    }
    if (lookahead == 0) return;  // empty input: nothing at all is written

    for (int i = 1; i <= kMaxMatch; ++i) dict.DictInsert(r - i);
    dict.DictInsert(r);

    while (lookahead > 0) {
        if (dict.MatchLength > lookahead) dict.MatchLength = lookahead;
        if (dict.MatchLength < kMinMatch) {
            dict.MatchLength = 1;
            LzhEncodeSymbol(model, out, window[r]);
        } else {
            LzhEncodeSymbol(model, out, dict.MatchLength + kLengthSymbolBias);
            LzhEncodeOffset(out, dict.MatchOffset);
        }

        const int last = dict.MatchLength;
        int i = 0;
        while (i < last) {
            const std::uint8_t c = engine.ReadByte();
            if (engine.EndOfInput()) break;
            dict.DictDelete(s);
            window[s] = c;
            if (s < kMaxMatch - 1) window[s + kWindowSize] = c;
            s = (s + 1) & kWindowMask;
            r = (r + 1) & kWindowMask;
            dict.DictInsert(r);
            ++i;
        }
        // Past the end of the input the window slides without new bytes.
        while (i < last) {
            ++i;
            dict.DictDelete(s);
            s = (s + 1) & kWindowMask;
            r = (r + 1) & kWindowMask;
            if (--lookahead > 0) dict.DictInsert(r);
        }
    }
    out.LzhFlushBits();
}

}  // namespace qvx::lzh
