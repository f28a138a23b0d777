// Lh5Workspace: the arrays of one LH5 decoder run. A run allocates it at its start (owned by a
// std::unique_ptr) and releases it on every exit; nothing in it outlives the run.
#pragma once

#include <array>
#include <cstdint>

#include "../Lh5Format.h"

namespace qvx::lh5 {

struct Lh5Workspace {
    // The output, kept in one line: the last 8192 bytes (the window a match copies from) followed by
    // up to kOutputSpan new bytes, and room for one more match and a word copy's overshoot. When
    // the span is used up the last 8192 bytes move to the front.
    static constexpr std::size_t kOutputSpan = 32768;
    static constexpr std::size_t kOutputSlack = kMaxMatch + sizeof(std::uint64_t);
    std::array<std::uint8_t, kWindowSize + kOutputSpan + kOutputSlack> Output;
    // Tree nodes of all three codes (numbered from the code's alphabet size upward).
    std::array<std::uint16_t, kTreeNodeEntries> LeftLink;
    std::array<std::uint16_t, kTreeNodeEntries> RightLink;
    // The code-length code's table and lengths, then (replacing them) the position code's.
    std::array<std::uint16_t, std::size_t{1} << kSmallTableBits> SmallTable;
    std::array<std::uint8_t, kCodeLengthAlphabet> SmallLengths;
    // The literal/length code.
    std::array<std::uint16_t, std::size_t{1} << kLiteralTableBits> LiteralTable;
    std::array<std::uint8_t, kLiteralAlphabet> LiteralLengths;
};

}  // namespace qvx::lh5
