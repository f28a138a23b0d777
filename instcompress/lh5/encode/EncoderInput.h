// The LH5 encoder's view of its input. The encoder calls ReadByte at fixed points of its algorithm
// (for every slot of the first window fill, and once per slot of every later fill until the end),
// also after the input has ended; only the calls after the end in the first fill are left out once
// the engine's input is exhausted, when they could change nothing. Once EndOfInput has been seen,
// the input counts as ended for good: every later byte reads as the end (0), even when the engine
// would deliver more after a cancel by the progress handler. So a cancelled run codes exactly the
// bytes read before the cancel, and its stream is the one that input alone would give.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../../CodecEngine.h"

namespace qvx::lh5 {

class EncoderInput {
public:
    explicit EncoderInput(CodecEngine& engine) : engine_(engine) {}

    // Reads one byte; false (and b = 0) once the input has ended.
    bool Next(std::uint8_t& b) {
        b = engine_.ReadByte();
        if (ended_ || engine_.EndOfInput()) [[unlikely]] {
            ended_ = true;
            b = 0;
            return false;
        }
        return true;
    }

    // Stores what n calls of Next would, up to and including the end: returns the number of input
    // bytes stored; when that is less than n, the end was met and dst[count] received its 0. The
    // bytes already in the engine's buffer are copied at once.
    int Fill(std::uint8_t* dst, int n) {
        int i = 0;
        while (i < n) {
            if (!ended_ && !engine_.EndOfInput()) {
                const std::uint8_t* cur = engine_.InputCursor();
                const auto k = static_cast<int>(std::min<std::ptrdiff_t>(n - i, engine_.InputEnd() - cur));
                std::memcpy(dst + i, cur, static_cast<std::size_t>(k));
                engine_.SetInputCursor(cur + k);
                i += k;
                if (i == n) break;
            }
            if (!Next(dst[i])) return i;
            ++i;
        }
        return n;
    }

    // Makes n more reads after the end has been met (their bytes count as the end). The calls are
    // left out once the engine's input is exhausted, when they would change nothing.
    void ReadPastEnd(int n) {
        ended_ = true;
        for (; n > 0 && !engine_.InputExhausted(); --n) engine_.ReadByte();
    }

private:
    CodecEngine& engine_;
    bool ended_ = false;
};

}  // namespace qvx::lh5
