// Lh5Expand: LZSS expansion of an LH5 stream.
//
// The output is built in one line in the workspace (the 8192 bytes of window history, then the new
// bytes), so a match is a plain copy from earlier in the same buffer. Most symbols are decoded by
// Lh5FastDecoder; the rest (block headers, the last bytes of each input block, the end of the
// input, broken codes) one at a time through Lh5Decoder. The new bytes are handed to the engine
// after every careful symbol and after every fast run, so the engine sees the same bytes, the same
// block writes and the same input refills, in the same order, as with one WriteByte per byte.
#include <algorithm>
#include <cstring>
#include <memory>

#include "../../CodecEngine.h"
#include "Lh5Expand.h"
#include "Lh5Decoder.h"
#include "Lh5FastDecoder.h"

namespace qvx::lh5 {

void Lh5Expand(CodecEngine& engine, std::int32_t Destsize) {
    if (Destsize == 0) return;  // nothing is read at all

    const auto workspace = std::make_unique_for_overwrite<Lh5Workspace>();
    Lh5Decoder decoder(engine, *workspace);
    decoder.Start();
    const auto fast = std::make_unique<Lh5FastDecoder>(*workspace);
    bool tablesReady = false;

    std::uint8_t* const begin = workspace->Output.data();
    std::uint8_t* const spanEnd = begin + kWindowSize + Lh5Workspace::kOutputSpan;
    std::fill_n(begin, kWindowSize, kWindowFill);
    std::uint8_t* out = begin + kWindowSize;
    // The stop test runs between symbols, so a last match may carry the count up to 255 past
    // Destsize; 64 bits keep that from overflowing.
    std::int64_t produced = 0;
    Lh5BitInput& bits = decoder.Bits();

    while (produced < Destsize) {
        if (out > spanEnd - kMaxMatch) {
            // Everything up to out has been handed to the engine: keep the window, start afresh.
            std::memmove(begin, out - kWindowSize, kWindowSize);
            out = begin + kWindowSize;
        }
        if (tablesReady && decoder.BlockRemaining != 0 && !engine.EndOfInput()) {
            Lh5FastDecoder::Run run{out, spanEnd - kMaxMatch, produced, Destsize, decoder.BlockRemaining};
            if (fast->Decode(run, bits, engine) != 0) {
                decoder.BlockRemaining = run.blockRemaining;
                engine.WriteBytes(out, static_cast<std::size_t>(run.out - out));
                out = run.out;
                produced = run.produced;
                continue;
            }
        }
        // One symbol the careful way, then its bytes to the engine.
        const bool newBlock = decoder.BlockRemaining == 0;
        const unsigned c = decoder.DecodeLiteral();
        if (newBlock) {
            fast->Prepare();
            tablesReady = true;
        }
        if (c < kFirstLengthSymbol) {
            *out = static_cast<std::uint8_t>(c);
            engine.WriteByte(*out++);
            ++produced;
        } else {
            const unsigned length = c - kLengthSymbolBias;
            const unsigned distance = decoder.DecodePosition();
            const std::uint8_t* src = out - distance - 1;
            for (unsigned k = 0; k < length; ++k) out[k] = src[k];  // in order: may repeat itself
            engine.WriteBytes(out, length);
            out += length;
            produced += length;
        }
    }
}

}  // namespace qvx::lh5
