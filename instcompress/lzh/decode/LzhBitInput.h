// LzhBitInput: the bit reader of the LZH decoder. Bits are taken from each byte most significant
// first. The buffer holds up to 16 bits and is topped up with one byte whenever 8 or fewer remain,
// so input is read strictly byte by byte. Bytes read at or after the end of the input count as 0.
// The bits past the end that the decoder has used are counted exactly (PastEnd), so that it can
// tell the engine before it writes the bytes of an item that needed them.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"

namespace qvx::lzh {

class LzhBitInput {
public:
    explicit LzhBitInput(CodecEngine& engine) noexcept : engine_(engine) {}

    unsigned LzhReadBit() {
        TopUp();
        const unsigned bit = bits_ >> 15;
        bits_ = (bits_ << 1) & 0xFFFFu;
        --count_;
        return bit;
    }

    // Stream bits used so far (bits read past the end of the input count too).
    std::int64_t BitsUsed() const noexcept { return 8 * static_cast<std::int64_t>(taken_) - count_; }

    // Bits past the end of the input have been used: more zero bytes were taken than bits are left.
    bool PastEnd() const noexcept { return 8 * static_cast<std::int64_t>(padding_) > count_; }

    // The next n bits (1..8), first bit most significant.
    unsigned LzhReadBits(unsigned n) {
        TopUp();
        const unsigned v = bits_ >> (16 - n);
        bits_ = (bits_ << n) & 0xFFFFu;
        count_ -= n;
        return v;
    }

private:
    void TopUp() {
        if (count_ <= 8) {
            unsigned b = engine_.ReadByte();
            if (engine_.EndOfInput()) [[unlikely]] {
                ++padding_;
                b = 0;
            }
            bits_ |= b << (8 - count_);
            count_ += 8;
            ++taken_;
        }
    }

    CodecEngine& engine_;
    std::uint32_t bits_ = 0;     // bit 15 is the next stream bit
    unsigned count_ = 0;         // valid bits in bits_
    std::uint32_t taken_ = 0;    // bytes taken, those past the end of the input included
    std::uint32_t padding_ = 0;  // zero bytes taken past the end of the input
};

}  // namespace qvx::lzh
