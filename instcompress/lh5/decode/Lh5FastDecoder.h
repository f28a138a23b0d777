// Lh5FastDecoder: the LH5 decoder's loop for the bulk of a stream. It decodes symbols straight from
// the engine's input buffer with a 64-bit bit buffer refilled a whole word at a time, without a
// branch, and looks each symbol up in one table entry that holds everything the loop needs: for a
// literal its byte and code length, for a match its length and code length; for a position its
// code length, the number of extra bits and the distance they add to. Up to three literals are
// decoded per refill, and matches are copied into a linear output buffer a word at a time.
//
// It runs only where it cannot behave differently from the symbol-by-symbol decoder (Lh5Decoder):
// while the current block has symbols left, at least kInputMargin (16) input bytes remain in the
// engine's buffer (so no refill, progress call or end of input can happen inside it), the end of
// the input has not been reported, and the output buffer has room for a whole match. Anything
// else (a block header, a code that turns out to be broken, the last bytes of an input block) ends
// the run before the symbol is consumed, and Lh5Expand decodes it the careful way. When it stops it hands the bit
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
        std::uint8_t* out;  // next output byte; at least 8192 bytes of history before it
        // No symbol starts beyond this: room for a whole match and its word copy's overshoot.
        const std::uint8_t* outLimit;
        std::int64_t produced;
        std::int64_t destSize;
        std::uint16_t blockRemaining;
    };

    // Decodes symbols until one of the conditions above fails. Returns the number of symbols
    // decoded.
    std::uint32_t Decode(Run& run, Lh5BitInput& bits, CodecEngine& engine) const noexcept;

    // Table entries. Literal/length table: a literal has kLiteral set, its byte in bits 0..7 and
    // its code length in bits 8..13; a match symbol its length (3..256) in bits 16..24 and its code
    // length in bits 8..13. Position table: the bits the position takes (code and extra bits) in
    // bits 0..4, the mask of its extra bits in bits 5..16 and the distance of its first position in
    // bits 17..29. In both, a code longer than the table has kLongCode set and its tree node (or
    // kNoCodeEntry) in bits 0..15.
    static constexpr std::uint32_t kLiteral = 0x80000000u;
    static constexpr std::uint32_t kLongCode = 0x40000000u;
    static constexpr std::size_t kLiteralSlots = std::size_t{1} << kLiteralTableBits;
    static constexpr std::size_t kPositionSlots = std::size_t{1} << kSmallTableBits;

    // The margins of a run. A refill loads one 8-byte word and keeps the whole bytes that fit below
    // the valid bits, so at least kRefillBits bits are valid after it and it advances the input by
    // at most kRefillBytes - 1 bytes.
    static constexpr unsigned kRefillBytes = sizeof(std::uint64_t);  // 8
    static constexpr unsigned kRefillBits = 8 * (kRefillBytes - 1);  // 56
    // A pass: up to kPassLiterals literals before a match or one more literal.
    static constexpr unsigned kPassLiterals = 3;
    // The bits of a match: the longest length code, the longest position code and its most extra
    // bits (those of the last position symbol).
    static constexpr unsigned kMaxPositionExtraBits = kPositionAlphabet - 2;            // 12
    static constexpr unsigned kMatchBits = 2 * kMaxCodeLength + kMaxPositionExtraBits;  // 44
    // A pass refills at most twice: it takes at most kPassInputBytes bytes, and reads at most
    // kInputMargin bytes from where it starts.
    static constexpr std::int64_t kPassInputBytes = 2 * (kRefillBytes - 1);  // 14
    static constexpr std::int64_t kInputMargin = 2 * kRefillBytes;           // 16
    // A pass makes at most kPassOutputBytes bytes; a match's word copies write up to
    // kCopyOvershoot bytes past its end (16 bytes for a 3-byte match).
    static constexpr std::int64_t kPassOutputBytes = kPassLiterals + kMaxMatch;
    static constexpr std::size_t kCopyOvershoot = 2 * sizeof(std::uint64_t) - kMinMatch;  // 13
    // The farthest a match reaches back: the last position symbol's first distance and its extra
    // bits.
    static constexpr std::size_t kMaxDistance = std::size_t{2} << kMaxPositionExtraBits;  // 8192

    static_assert((kPassLiterals + 1) * kLiteralTableBits <= kRefillBits,
                  "four literals from the table follow one refill");
    static_assert(kRefillBits - kLiteralTableBits >= kMatchBits, "a whole match follows one literal after a refill");
    static_assert(kMaxDistance <= kWindowSize, "a match copies from the window of history before a run");
    static_assert(Lh5Workspace::kOutputSlack >= kCopyOvershoot,
                  "a match that ends at the output span's end has room for its word copies");

private:
    const Lh5Workspace& ws_;
    // The literal/length table, then the position table (one base address for the loop).
    std::array<std::uint32_t, kLiteralSlots + kPositionSlots> tables_{};
};

}  // namespace qvx::lh5
