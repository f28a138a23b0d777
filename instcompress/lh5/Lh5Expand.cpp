// Lh5Expand: LZSS expansion of an LH5 stream through an 8192-byte ring window.
#include <algorithm>
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

    std::uint8_t* const window = workspace->Window.data();
    std::fill_n(window, kWindowSize, kWindowFill);
    unsigned r = 0;
    // The stop test runs between symbols, so a last match may carry the count up to 255 past
    // Destsize; 64 bits keep that from overflowing.
    std::int64_t produced = 0;
    while (produced < Destsize) {
        const unsigned c = decoder.DecodeLiteral();
        if (c < kFirstLengthSymbol) {
            window[r] = static_cast<std::uint8_t>(c);
            engine.WriteByte(static_cast<std::uint8_t>(c));
            r = (r + 1) & kWindowMask;
            ++produced;
        } else {
            const unsigned length = c - kLengthSymbolBias;
            const unsigned distance = decoder.DecodePosition();
            unsigned s = (r - distance - 1) & kWindowMask;
            produced += length;
            // Byte by byte in increasing order: a match longer than its distance repeats itself.
            for (unsigned k = 0; k < length; ++k) {
                const std::uint8_t b = window[s];
                window[r] = b;
                engine.WriteByte(b);
                s = (s + 1) & kWindowMask;
                r = (r + 1) & kWindowMask;
            }
        }
    }
}

}  // namespace qvx
