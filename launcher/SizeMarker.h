// SizeMarker: the 12-byte constant in the launcher image that carries the payload offset.
//
//   bytes 0-7   the marker characters
//   bytes 8-11  32-bit little-endian file offset of the payload; "XXXX" until the build tool
//               patches it
//
// The marker's eight characters must occur exactly once in a built launcher file, so nothing else
// in the program spells them out: readers copy them from SizeMarker at run time. The object is
// volatile so that the compiler never folds its bytes into instructions (an 8-byte immediate in
// the code would be a second copy) and never merges it with another constant; it is marked used
// so that neither the compiler nor the linker's section garbage collection drops it.
#pragma once

#include <array>
#include <cstddef>

namespace qvx::launcher {

inline constexpr std::size_t kSizeMarkerLength = 12;
inline constexpr std::size_t kMarkerPatternLength = 8;
inline constexpr char kPlaceholderByte = 'X';

extern "C" volatile const char SizeMarker[kSizeMarkerLength];

// The eight marker characters, copied from SizeMarker.
std::array<char, kMarkerPatternLength> MarkerPattern() noexcept;

}  // namespace qvx::launcher
