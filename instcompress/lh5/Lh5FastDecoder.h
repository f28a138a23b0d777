// Lh5FastDecoder: the LH5 decoder's loop for the bulk of a stream. It decodes symbols straight from
// the engine's input buffer with a 64-bit bit buffer refilled a whole word at a time, looks each
// symbol up together with its code length in one table entry, and writes literals and matches into
// a linear output buffer, copying matches a word at a time.
//
// It runs only where it cannot behave differently from the symbol-by-symbol decoder (Lh5Decoder):
// while the current block has symbols left, at least 8 input bytes remain in the engine's buffer
// (so no refill, progress call or end of input can happen inside it), the end of the input has not
// been reported, and the output buffer has room for a whole match. Anything else (a block header,
// a code that turns out to be broken, the last bytes of an input block) ends the run before the
// symbol is consumed, and Lh5Expand decodes it the careful way. When it stops it hands the bit
// input back in the state the careful reader would be in: exactly as many bytes taken from the
// engine's buffer as the careful reader would have taken for the bits consumed.
#pragma once

#include <array>
#include <cstdint>

#include "Lh5BitInput.h"
#include "Lh5Workspace.h"

namespace qvx::lh5 {

class Lh5FastDecoder {
public:
    explicit Lh5FastDecoder(const Lh5Workspace& workspace) noexcept : ws_(workspace) {}

    // Takes over the codes of the block just read (after every block header).
    void Prepare() noexcept;

    // What one run works on; the run advances out, produced and blockRemaining.
    struct Run {
        std::uint8_t* out;             // next output byte; at least 8192 bytes of history before it
        const std::uint8_t* outLimit;  // the run stops once out passes this (room for a match + 8)
        std::int64_t produced;
        std::int64_t destSize;
        std::uint16_t blockRemaining;
    };

    // Decodes symbols until one of the conditions above fails. Returns the number of symbols
    // decoded.
    std::uint32_t Decode(Run& run, Lh5BitInput& bits, CodecEngine& engine) const noexcept;

private:
    const Lh5Workspace& ws_;
    // Table entry: the symbol or tree node in the low 16 bits, the symbol's code length above.
    std::array<std::uint32_t, std::size_t{1} << kLiteralTableBits> literal_{};
    std::array<std::uint32_t, std::size_t{1} << kSmallTableBits> position_{};
};

}  // namespace qvx::lh5
