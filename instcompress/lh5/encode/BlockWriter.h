// The LH5 block recorder and writer: collects the encoder's literals and matches in a block
// buffer, counts their symbols, and when the buffer is full (and once more at the end of the input)
// writes the block: its three Huffman code descriptions, then every item.
#pragma once

#include <bit>
#include <cstdint>

#include "BitWriter.h"
#include "HuffmanCode.h"
#include "../Lh5Format.h"

namespace qvx::lh5 {

inline constexpr int kBlockBufferSize = 16384;
// A block is written when fewer than 24 bytes are free at the start of a group; a group of a flag
// byte and eight matches takes 25 bytes, so the last index used is 16383.
inline constexpr int kBlockFlushThreshold = kBlockBufferSize - 24;

class BlockWriter {
public:
    explicit BlockWriter(CodecEngine& engine) : out_(engine) {}

    // Appends one item: a literal byte (c < 256), or a match (c = length + kLengthSymbolBias) with its position
    // code p (distance - 1, 0..8191).
    void RecordItem(unsigned c, unsigned p) {
        flagMask_ = static_cast<std::uint8_t>(flagMask_ >> 1);
        if (flagMask_ == 0) StartGroup();
        blockBuffer_[writePos_++] = static_cast<std::uint8_t>(c);
        ++literalFreq_[c];
        if (c >= 256) {
            blockBuffer_[flagIndex_] |= flagMask_;
            blockBuffer_[writePos_++] = static_cast<std::uint8_t>(p >> 8);
            blockBuffer_[writePos_++] = static_cast<std::uint8_t>(p);
            ++positionFreq_[PositionBitLength(p)];
        }
    }

    // Writes the block held in the buffer and clears its symbol counts.
    void FlushBlock();

    // Ends the stream: sends the last partial byte, its remaining low bits 0.
    void FinishStream() { out_.WriteBits(7, 0); }

    // Bit length of a position code: 0 for 0, 1 for 1, 2 for 2..3, ... 13 for 4096..8191.
    static unsigned PositionBitLength(unsigned p) noexcept { return static_cast<unsigned>(std::bit_width(p)); }

    // Fills the code-length symbol counts from the literal/length code lengths.
    void CountCodeLengthSymbols();
    // Writes the literal/length code lengths with the code-length code.
    void WriteLiteralLengths();
    // Writes the n lengths of a small code (code-length code: 19, 5, 3; position code: 14, 4, -1).
    void WriteSmallLengths(int n, int width, int special);

    const std::uint16_t* LiteralFreq() const noexcept { return literalFreq_; }
    const std::uint16_t* CodeLengthFreq() const noexcept { return codeLengthFreq_; }
    std::uint8_t* LiteralLengths() noexcept { return literalLengths_; }
    std::uint8_t* SmallLengths() noexcept { return smallLengths_; }
    std::uint16_t* SmallCodes() noexcept { return smallCodes_; }
    BitWriter& Bits() noexcept { return out_; }

private:
    void StartGroup();
    void WriteLiteral(unsigned c) { out_.WriteCode(literalLengths_[c], literalCodes_[c]); }
    void WriteSmallCode(unsigned s) { out_.WriteCode(smallLengths_[s], smallCodes_[s]); }
    void WritePosition(unsigned p);
    int TrimmedLiteralCount() const noexcept;
    // Walks the literal lengths up to the last nonzero one as the code-length code describes them,
    // calling emit(symbol, extraBits, extraValue) for each code-length symbol in stream order.
    template <typename Emit>
    void ForEachCodeLengthSymbol(int n, Emit&& emit) const;

    BitWriter out_;
    unsigned writePos_ = 0;
    unsigned flagIndex_ = 0;
    std::uint8_t flagMask_ = 0;

    std::uint8_t blockBuffer_[kBlockBufferSize + 1]{};
    std::uint16_t literalFreq_[2 * kLiteralAlphabet - 1]{};
    std::uint16_t positionFreq_[2 * kPositionAlphabet - 1]{};
    std::uint16_t codeLengthFreq_[2 * kCodeLengthAlphabet - 1]{};
    std::uint8_t literalLengths_[kLiteralAlphabet + 1]{};
    std::uint16_t literalCodes_[kLiteralAlphabet]{};
    std::uint8_t smallLengths_[kCodeLengthAlphabet]{};
    std::uint16_t smallCodes_[kCodeLengthAlphabet]{};
};

}  // namespace qvx::lh5
