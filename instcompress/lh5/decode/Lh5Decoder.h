// Lh5Decoder: the symbol level of the LH5 decoder. It reads the block headers (the three code
// descriptions), builds their tables once per block, and decodes literal/length symbols and match
// positions from the bit input. Lh5Expand (Lh5Expand.cpp) turns the symbols into bytes.
//
// Block layout: a 16-bit block size (symbols in the block, 0 = 65,536); the code-length code; the
// literal/length code; the position code; then the block's symbols, every match-length symbol
// followed at once by a position code and its extra bits.
#pragma once

#include <cstdint>

#include "Lh5BitInput.h"
#include "../Lh5Format.h"
#include "Lh5Workspace.h"

namespace qvx::lh5 {

class Lh5Decoder {
public:
    // The workspace is borrowed for the decoder's lifetime; its contents need not be initialised.
    Lh5Decoder(CodecEngine& engine, Lh5Workspace& workspace) noexcept : bits_(engine), ws_(workspace) {}

    // Loads the first 16 bits of the stream.
    void Start() { bits_.Start(); }

    // The next literal/length symbol (0..509), reading a block header first when the current block
    // is used up.
    unsigned DecodeLiteral() {
        if (BlockRemaining == 0) [[unlikely]]
            ReadBlockHeader();
        --BlockRemaining;
        const unsigned j = ws_.LiteralTable[bits_.BitBuf() >> (Lh5BitInput::kLookAheadBits - kLiteralTableBits)];
        if (j < kLiteralAlphabet) [[likely]] {
            bits_.FillBits(ws_.LiteralLengths[j]);
            return j;
        }
        return WalkTree(j, kLiteralAlphabet, kLiteralTableBits, ws_.LiteralLengths.data());
    }

    // The next match distance value d (0..8191); the match copies from d + 1 bytes back.
    unsigned DecodePosition() {
        unsigned j = ws_.SmallTable[bits_.BitBuf() >> (Lh5BitInput::kLookAheadBits - kSmallTableBits)];
        if (j < kPositionAlphabet) [[likely]] {
            bits_.FillBits(ws_.SmallLengths[j]);
        } else {
            j = WalkTree(j, kPositionAlphabet, kSmallTableBits, ws_.SmallLengths.data());
        }
        if (j == 0) return 0;
        return (1u << (j - 1)) + bits_.GetBits(j - 1);
    }

    // Block header readers.
    void ReadBlockHeader();
    // The code-length code (19, 5, 3) or the position code (14, 4, none: special = 0).
    void ReadCodeLengthLengths(unsigned nn, unsigned nbit, unsigned special);
    void ReadLiteralLengths();

    Lh5BitInput& Bits() noexcept { return bits_; }

    // Literal/length symbols left in the current block.
    std::uint16_t BlockRemaining = 0;

private:
    // Finishes a lookup whose table entry j is not a symbol: walks the tree with the bits after
    // the first tablebits, then consumes the symbol's code.
    unsigned WalkTree(unsigned j, unsigned nchar, unsigned tablebits, const std::uint8_t* lengths);
    // A code-length symbol (0..18).
    unsigned DecodeCodeLengthSymbol();

    Lh5BitInput bits_;
    Lh5Workspace& ws_;
};

}  // namespace qvx::lh5
