// Run-length expansion. The stream is a sequence of items:
//   a byte X other than 0x94   ->  X
//   0x94 0x00                  ->  one byte 0x94
//   0x94 n (n = 1..255)        ->  n - 1 copies of the previous item's first byte
// The previous byte starts at 0 and after each item is the item's first byte (0x94 for both
// escape items). Every byte sequence expands; the expansion runs to the end of the input. A stream
// that ends with a lone 0x94 takes its count byte past the end: the engine hears of it
// (CodecEngine::UsedPastEnd) and a checked expansion stops there.
#pragma once

#include <cstdint>

namespace qvx {

class CodecEngine;

inline constexpr std::uint8_t RleEscape = 0x94;

void RleExpand(CodecEngine& engine);

}  // namespace qvx
