#include "TextWindow.h"

#include <cstring>

namespace qvx::lh5 {

int TextWindow::FirstFill(EncoderInput& input) {
    int count = 0;
    for (int i = kFirstPosition; i < kTextWindowSize; ++i) {
        std::uint8_t b;
        if (input.Next(b)) {
            bytes[i] = b;
            ++count;
        } else {
            bytes[i] = 0x20;
        }
    }
    return count;
}

int TextWindow::Slide(EncoderInput& input) {
    std::memmove(bytes, bytes + kCycleStart, kTextWindowSize - kCycleStart);
    return input.Fill(bytes + kFirstPosition, kTextWindowSize - kFirstPosition);
}

}  // namespace qvx::lh5
