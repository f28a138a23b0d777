// Lh5Expand: LZSS expansion of an LH5 stream through an 8192-byte ring window.
#include <algorithm>
#include <cstring>
#include <memory>

#include "../CodecEngine.h"
#include "Lh5Codec.h"
#include "Lh5Decoder.h"

namespace qvx::lh5 {

void Lh5Expand(CodecEngine& engine, std::int32_t Destsize) {
    if (Destsize == 0) return;  // nothing is read at all

    const auto workspace = std::make_unique_for_overwrite<Lh5Workspace>();
    Lh5Decoder decoder(engine, *workspace);
    decoder.Start();

    // The bit input lives in a local copy for the loop: the compiler can keep it in registers,
    // since no byte store of the loop can change it.
    Lh5BitInput bits = decoder.Bits();
    std::uint8_t* const window = workspace->Window.data();
    std::fill_n(window, kWindowSize, kWindowFill);
    unsigned r = 0;
    // The stop test runs between symbols, so a last match may carry the count up to 255 past
    // Destsize; 64 bits keep that from overflowing.
    std::int64_t produced = 0;
    // Literals go straight into the engine's output buffer through a local cursor, handed back
    // around every other output call. An exception leaves the engine's cursor behind, which does
    // not matter: a failed run flushes nothing more, and every block write happened already.
    std::uint8_t* out = engine.OutputCursor();
    std::uint8_t* outStop = engine.OutputStop();
    while (produced < Destsize) {
        const unsigned c = decoder.DecodeLiteral(bits);
        if (c < kFirstLengthSymbol) {
            const auto b = static_cast<std::uint8_t>(c);
            window[r] = b;
            if (out < outStop) [[likely]] {
                *out++ = b;
            } else {
                engine.SetOutputCursor(out);
                engine.WriteByte(b);
                out = engine.OutputCursor();
                outStop = engine.OutputStop();
            }
            r = (r + 1) & kWindowMask;
            ++produced;
        } else {
            const unsigned length = c - kLengthSymbolBias;
            const unsigned distance = decoder.DecodePosition(bits);
            const unsigned s = (r - distance - 1) & kWindowMask;
            produced += length;
            if (r + length <= kWindowSize && s + length <= kWindowSize &&
                length <= static_cast<std::size_t>(outStop - out)) [[likely]] {
                // Neither side wraps and the output buffer has room: window and output in one
                // pass, in increasing order (a match longer than its distance repeats itself).
                std::uint8_t* const dst = window + r;
                const std::uint8_t* const src = window + s;
                if (length > 32 && (s > r || r - s >= length)) {
                    std::memmove(dst, src, length);
                    std::memcpy(out, dst, length);
                } else {
                    for (unsigned k = 0; k < length; ++k) {
                        const std::uint8_t b = src[k];
                        dst[k] = b;
                        out[k] = b;
                    }
                }
                out += length;
                r = (r + length) & kWindowMask;
                continue;
            }
            // Byte by byte in increasing order through the ring, then out through the engine,
            // which makes room as WriteByte would.
            unsigned from = s;
            const unsigned start = r;
            for (unsigned k = 0; k < length; ++k) {
                window[r] = window[from];
                from = (from + 1) & kWindowMask;
                r = (r + 1) & kWindowMask;
            }
            const unsigned first = std::min(length, kWindowSize - start);
            engine.SetOutputCursor(out);
            engine.WriteBytes(window + start, first);
            engine.WriteBytes(window, length - first);
            out = engine.OutputCursor();
            outStop = engine.OutputStop();
        }
    }
    engine.SetOutputCursor(out);
}

}  // namespace qvx::lh5
