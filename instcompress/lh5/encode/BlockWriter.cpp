#include "BlockWriter.h"

namespace qvx::lh5 {

void BlockWriter::StartGroup() {
    flagMask_ = 0x80;
    if (writePos_ >= kBlockFlushThreshold) {
        FlushBlock();
        writePos_ = 0;
    }
    flagIndex_ = writePos_;
    blockBuffer_[writePos_++] = 0;
}

void BlockWriter::FlushBlock() {
    const std::uint16_t root = BuildHuffmanCode(kLiteralAlphabet, literalFreq_, literalLengths_, literalCodes_);
    const unsigned size = literalFreq_[root];
    out_.WriteBits(16, size);
    if (root >= kLiteralAlphabet) {
        CountCodeLengthSymbols();
        const std::uint16_t root2 = BuildHuffmanCode(kCodeLengthAlphabet, codeLengthFreq_, smallLengths_, smallCodes_);
        if (root2 >= kCodeLengthAlphabet) {
            WriteSmallLengths(kCodeLengthAlphabet, 5, 3);
        } else {
            out_.WriteBits(5, 0);
            out_.WriteBits(5, root2);
        }
        WriteLiteralLengths();
    } else {
        // A single literal/length symbol: no code-length code, and the symbol itself in place of
        // the literal/length code.
        out_.WriteBits(5, 0);
        out_.WriteBits(5, 0);
        out_.WriteBits(9, 0);
        out_.WriteBits(9, root);
    }
    // The code-length code is fully written; the position code now takes its tables.
    const std::uint16_t root3 = BuildHuffmanCode(kPositionAlphabet, positionFreq_, smallLengths_, smallCodes_);
    if (root3 >= kPositionAlphabet) {
        WriteSmallLengths(kPositionAlphabet, 4, -1);
    } else {
        out_.WriteBits(4, 0);
        out_.WriteBits(4, root3);
    }

    unsigned k = 0;
    unsigned flags = 0;
    for (unsigned item = 0; item < size; ++item) {
        if ((item & 7) == 0) flags = blockBuffer_[k++];
        if (flags & 0x80) {
            WriteLiteral(blockBuffer_[k] + 256u);
            WritePosition((static_cast<unsigned>(blockBuffer_[k + 1]) << 8) | blockBuffer_[k + 2]);
            k += 3;
        } else {
            WriteLiteral(blockBuffer_[k++]);
        }
        flags <<= 1;
    }

    for (auto& f : literalFreq_) f = 0;
    for (auto& f : positionFreq_) f = 0;
}

void BlockWriter::WritePosition(unsigned p) {
    const unsigned k = PositionBitLength(p);
    WriteSmallCode(k);
    if (k > 1) out_.WriteBits(static_cast<int>(k - 1), p);
}

int BlockWriter::TrimmedLiteralCount() const noexcept {
    int n = kLiteralAlphabet;
    while (n > 0 && literalLengths_[n - 1] == 0) --n;
    return n;
}

template <typename Emit>
void BlockWriter::ForEachCodeLengthSymbol(int n, Emit&& emit) const {
    int i = 0;
    while (i < n) {
        const int k = literalLengths_[i++];
        if (k != 0) {
            emit(k + 2, 0, 0);  // a length of 1..16
            continue;
        }
        int run = 1;
        while (i < n && literalLengths_[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int r = 0; r < run; ++r) emit(0, 0, 0);  // one zero length each
        } else if (run <= 18) {
            emit(1, 4, run - 3);  // a run of 3..18 zeros
        } else if (run == 19) {
            emit(0, 0, 0);
            emit(1, 4, 15);
        } else {
            emit(2, 9, run - 20);  // a run of 20 or more zeros
        }
    }
}

void BlockWriter::CountCodeLengthSymbols() {
    for (int s = 0; s < kCodeLengthAlphabet; ++s) codeLengthFreq_[s] = 0;
    ForEachCodeLengthSymbol(TrimmedLiteralCount(), [this](int symbol, int, int) { ++codeLengthFreq_[symbol]; });
}

void BlockWriter::WriteLiteralLengths() {
    const int n = TrimmedLiteralCount();
    out_.WriteBits(9, static_cast<unsigned>(n));
    ForEachCodeLengthSymbol(n, [this](int symbol, int extraBits, int extraValue) {
        WriteSmallCode(static_cast<unsigned>(symbol));
        if (extraBits != 0) out_.WriteBits(extraBits, static_cast<unsigned>(extraValue));
    });
}

void BlockWriter::WriteSmallLengths(int n, int width, int special) {
    while (n > 0 && smallLengths_[n - 1] == 0) --n;
    out_.WriteBits(width, static_cast<unsigned>(n));
    int i = 0;
    while (i < n) {
        const int k = smallLengths_[i++];
        if (k <= 6)
            out_.WriteBits(3, static_cast<unsigned>(k));
        else
            out_.WriteBits(k - 3, 0xFFFEu);  // k - 4 one bits and a zero bit
        if (i == special) {
            while (i < 6 && smallLengths_[i] == 0) ++i;
            out_.WriteBits(2, static_cast<unsigned>(i - 3));
        }
    }
}

}  // namespace qvx::lh5
