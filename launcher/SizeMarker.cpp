#include "SizeMarker.h"

namespace qvx::launcher {

// Spelled as single characters, never as a string literal, so that no literal pool can hold a
// second copy of the marker.
extern "C" __attribute__((used)) volatile const char SizeMarker[kSizeMarkerLength] = {
    'Q', 'V', 'X', '_', 'S', 'I', 'Z', 'E', kPlaceholderByte, 'X', 'X', 'X'};

std::array<char, kMarkerPatternLength> MarkerPattern() noexcept {
    std::array<char, kMarkerPatternLength> pattern{};
    for (std::size_t i = 0; i < kMarkerPatternLength; ++i) pattern[i] = SizeMarker[i];
    return pattern;
}

}  // namespace qvx::launcher
