// The LH5 bit input: the stream read most significant bit first, with 16 bits of look-ahead.
//
// BitBuf() always shows the next 16 bits of the stream. Bytes come from the engine's ReadByte one
// at a time and only when the look-ahead needs them: once n bits have been consumed, exactly
// ceil((n + 16) / 8) bytes have been read. Once the engine reports EndOfInput, ReadByte is not
// called again and the stream continues with zero bits.
//
// So the look-ahead takes at most two zero bytes past the end of the input: the third is taken only
// once bits past the end have been consumed, and then the bit input tells the engine
// (CodecEngine::UsedPastEnd), which stops a checked expansion there.
//
// The bits are kept in a 64-bit accumulator (the low `have_` bits are the unconsumed ones, at least
// 16 between calls), so FillBits does one subtraction when the look-ahead is deep enough. A reader
// that takes the stream over for a while (Lh5FastDecoder) reads the accumulator and hands it back
// with Restore.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"
#include "../Lh5Format.h"

namespace qvx::lh5 {

class Lh5BitInput {
public:
    // The look-ahead BitBuf() shows: as wide as the longest code, so a code is decoded from it.
    static constexpr unsigned kLookAheadBits = 16;
    static_assert(kLookAheadBits == kMaxCodeLength);

    explicit Lh5BitInput(CodecEngine& engine) noexcept : engine_(&engine) {}

    // Loads the first 16 bits (the first input byte in the high half).
    void Start() { FillBits(kLookAheadBits); }

    // The next 16 bits of the stream.
    std::uint16_t BitBuf() const noexcept { return static_cast<std::uint16_t>(acc_ >> (have_ - kLookAheadBits)); }

    // Advances the stream by n bits (n = 0..17).
    void FillBits(unsigned n) {
        while (have_ < n + kLookAheadBits) {
            acc_ = (acc_ << 8) | NextByte();
            have_ += 8;
        }
        have_ -= n;
    }

    // The next n bits (n = 0..16) as an unsigned number; advances by n.
    unsigned GetBits(unsigned n) {
        const unsigned x = static_cast<unsigned>(BitBuf()) >> (kLookAheadBits - n);
        FillBits(n);
        return x;
    }

    // The unconsumed bits, as the low Count() bits of Accumulator() (16 to 23 between calls), for a
    // reader that takes over the stream and hands it back with Restore (Lh5FastDecoder).
    std::uint64_t Accumulator() const noexcept { return acc_; }
    unsigned Count() const noexcept { return have_; }
    void Restore(std::uint64_t acc, unsigned have) noexcept {
        acc_ = acc;
        have_ = have;
    }

private:
    unsigned NextByte() {
        if (!engine_->EndOfInput()) {
            const unsigned b = engine_->ReadByte();
            if (!engine_->EndOfInput()) [[likely]]
                return b;
        }
        return PastEnd();
    }

    // A zero byte past the end of the input.
    unsigned PastEnd() {
        if (padding_ == kLookAheadBytes) {
            engine_->UsedPastEnd();
        } else {
            ++padding_;
        }
        return 0;
    }

    static constexpr unsigned kLookAheadBytes = 2;

    CodecEngine* engine_;
    std::uint64_t acc_ = 0;
    unsigned have_ = kLookAheadBits;  // a run starts with 16 zero bits that Start() shifts out
    unsigned padding_ = 0;            // zero bytes taken past the end of the input, up to kLookAheadBytes
};

}  // namespace qvx::lh5
