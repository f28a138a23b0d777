// The LH5 bit writer: fields go out most significant bit first, and each byte fills from bit 7
// down. A byte is handed to the engine the moment its last bit is filled; the final partial byte
// is sent by writing 7 zero bits at the end of the stream.
#pragma once

#include <cstdint>

#include "../../CodecEngine.h"

namespace qvx::lh5 {

class BitWriter {
public:
    explicit BitWriter(CodecEngine& engine) : engine_(engine) {}

    // Writes the n leading bits of the 16-bit word x (n = 0..16); its 16 - n trailing bits are 0.
    void WriteCode(int n, std::uint16_t x) {
        bits_ = (bits_ << n) | (static_cast<std::uint32_t>(x) >> (16 - n));
        pending_ += n;
        while (pending_ >= 8) {
            pending_ -= 8;
            engine_.WriteByte(static_cast<std::uint8_t>(bits_ >> pending_));
        }
    }

    // Writes the n low bits of v (n = 1..16), most significant first.
    void WriteBits(int n, unsigned v) { WriteCode(n, static_cast<std::uint16_t>(v << (16 - n))); }

    // Bits written but not yet handed out (0..7).
    int PendingBits() const noexcept { return pending_; }

private:
    CodecEngine& engine_;
    std::uint32_t bits_ = 0;  // the low pending_ bits are the unsent ones; higher bits are stale
    int pending_ = 0;
};

}  // namespace qvx::lh5
