#include "RleExpand.h"

#include "CodecEngine.h"

namespace qvx {

void RleExpand(CodecEngine& engine) {
    std::uint8_t previous = 0;
    for (;;) {
        const std::uint8_t c = engine.ReadByte();
        if (engine.EndOfInput()) return;
        if (c != RleEscape) {
            engine.WriteByte(c);
        } else {
            // A count byte past the end of the input reads as 0 (a checked expansion stops there).
            const std::uint8_t n = engine.ReadByte();
            if (engine.EndOfInput()) [[unlikely]]
                engine.UsedPastEnd();
            if (n == 0) {
                engine.WriteByte(RleEscape);
            } else {
                for (int repeat = n - 1; repeat > 0; --repeat) engine.WriteByte(previous);
            }
        }
        previous = c;
    }
}

}  // namespace qvx
