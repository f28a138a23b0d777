// LzhBitOutput: the bit writer of the LZH compressor. Bits are packed into bytes most significant
// first; Flush pads the last byte with zero bits.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"

namespace qvx::lzh {

class LzhBitOutput {
public:
    explicit LzhBitOutput(CodecEngine& engine) noexcept : engine_(engine) {}

    // Sends the top n bits (1..16) of the 16-bit value v; its other bits are zero.
    void LzhPutBits(unsigned n, std::uint32_t v) {
        bits_ |= (v << 16) >> count_;
        count_ += n;
        while (count_ >= 8) {
            engine_.WriteByte(static_cast<std::uint8_t>(bits_ >> 24));
            bits_ <<= 8;
            count_ -= 8;
        }
    }

    // Writes the pending bits, if any, as one last byte.
    void LzhFlushBits() {
        if (count_ > 0) engine_.WriteByte(static_cast<std::uint8_t>(bits_ >> 24));
        bits_ = 0;
        count_ = 0;
    }

private:
    CodecEngine& engine_;
    std::uint32_t bits_ = 0;  // pending bits from bit 31 down
    unsigned count_ = 0;      // 0..7 between calls
};

}  // namespace qvx::lzh
