#include "StreamFinder.h"

#include <cstring>

namespace qvx::lh5 {

int StreamFinder::StartAtBeginning(const std::uint8_t* fill0, int count) {
    std::memcpy(window_.bytes + kFirstPosition, fill0, kFillSize);
    return Begin(count);
}

int StreamFinder::StartAtBeginning(EncoderInput& input) { return Begin(window_.FirstFill(input)); }

int StreamFinder::Begin(int count) {
    tree_.Init();
    tree_.CurrentPos = kFirstPosition;
    position_ = 0;
    if (count == 0) return 0;
    tree_.FoundPosition = 0;
    tree_.FoundLength = 0;
    tree_.InsertPosition();
    return count;
}

void StreamFinder::StartCold(std::int64_t m, const std::uint8_t* history) {
    std::memcpy(window_.bytes, history, kTextWindowSize);
    tree_.Init();
    tree_.CurrentPos = kCycleStart;
    position_ = CycleStart(m);
    tree_.FoundPosition = 0;
    tree_.FoundLength = 0;
    tree_.InsertPosition();
}

int StreamFinder::Slide(FillSource& source) {
    std::memmove(window_.bytes, window_.bytes + kCycleStart, kTextWindowSize - kCycleStart);
    tree_.CurrentPos = kCycleStart;
    return source.NextFill(window_.bytes + kFirstPosition);
}

}  // namespace qvx::lh5
