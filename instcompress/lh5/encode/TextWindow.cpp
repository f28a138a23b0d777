#include "TextWindow.h"

#include <cstring>

namespace qvx::lh5 {

int TextWindow::FirstFill(EncoderInput& input) {
    const int count = input.Fill(bytes + kFirstPosition, kWindowSize);
    if (count < kWindowSize) {
        std::memset(bytes + kFirstPosition + count, kWindowFill, static_cast<std::size_t>(kWindowSize - count));
        input.ReadPastEnd(kWindowSize - count - 1);  // the slots after the one of the end
    }
    return count;
}

}  // namespace qvx::lh5
