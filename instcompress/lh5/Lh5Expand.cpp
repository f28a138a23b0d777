// Lh5Expand: LZSS expansion of an LH5 stream through an 8192-byte ring window.
#include <algorithm>
#include <cstring>
#include <memory>

#include "../CodecEngine.h"
#include "Lh5Codec.h"
#include "Lh5Decoder.h"

namespace qvx {

void Lh5Expand(CodecEngine& engine, std::int32_t Destsize) {
    using namespace lh5;
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
    while (produced < Destsize) {
        const unsigned c = decoder.DecodeLiteral(bits);
        if (c < kFirstLengthSymbol) {
            window[r] = static_cast<std::uint8_t>(c);
            engine.WriteByte(static_cast<std::uint8_t>(c));
            r = (r + 1) & kWindowMask;
            ++produced;
        } else {
            const unsigned length = c - kLengthSymbolBias;
            const unsigned distance = decoder.DecodePosition(bits);
            const unsigned s = (r - distance - 1) & kWindowMask;
            produced += length;
            std::uint8_t* const dst = window + r;
            if (r + length <= kWindowSize && s + length <= kWindowSize) {
                // Neither side wraps. A copy forward in increasing order is a memmove when the
                // source lies ahead or far enough behind; a shorter distance repeats the pattern.
                const std::uint8_t* const src = window + s;
                if (s > r || r - s >= length) {
                    std::memmove(dst, src, length);
                } else {
                    for (unsigned k = 0; k < length; ++k) dst[k] = src[k];
                }
                engine.WriteBytes(dst, length);
                r = (r + length) & kWindowMask;
            } else {
                // Byte by byte in increasing order through the ring, then out in two pieces.
                unsigned from = s;
                const unsigned start = r;
                for (unsigned k = 0; k < length; ++k) {
                    window[r] = window[from];
                    from = (from + 1) & kWindowMask;
                    r = (r + 1) & kWindowMask;
                }
                const unsigned first = std::min(length, kWindowSize - start);
                engine.WriteBytes(window + start, first);
                engine.WriteBytes(window, length - first);
            }
        }
    }
}

}  // namespace qvx
