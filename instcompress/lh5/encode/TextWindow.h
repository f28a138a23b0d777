// The LH5 encoder's byte window. Indexes 0..8191 hold the history (the 8192 bytes before index
// 8192 after a slide), 8192..16383 the positions of the current cycle, 16384..16639 256 bytes of
// look-ahead beyond the cycle. The first cycle is special: the first 8192 input bytes go to
// 8448..16639, so it codes only 7936 positions. At the end of a cycle the window slides
// (StreamFinder): 8192..16639 move down to 0..8447 and new bytes come into 8448.. until 16639 or the
// end of the input (the slot of the end receives 0; slots above it keep their old contents).
#pragma once

#include <cstdint>

#include "EncoderInput.h"
#include "../Lh5Format.h"

namespace qvx::lh5 {

inline constexpr int kCycleStart = kWindowSize;                 // 8192
inline constexpr int kCycleEnd = 2 * kWindowSize;               // 16384
inline constexpr int kFirstPosition = kWindowSize + kMaxMatch;  // 8448
inline constexpr int kTextWindowSize = kCycleEnd + kMaxMatch;   // 16640

struct TextWindow {
    // First fill: reads 8192 bytes into 8448..16639 (ReadByte is called for every slot, also after
    // the end of the input; slots past the end hold spaces). Returns the number of input bytes.
    int FirstFill(EncoderInput& input);

    // One spare byte follows the window.
    std::uint8_t bytes[kTextWindowSize + 1]{};
};

}  // namespace qvx::lh5
