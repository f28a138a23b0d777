// The LH5 encoder's parse: reads the whole input into the window, inserts every position into the
// match tree, and chooses between a literal and a match with a one-step look-ahead. Each chosen
// item goes to a sink with RecordItem(symbol, position code); the block writer is the sink of a
// compression run.
#pragma once

#include "MatchTree.h"
#include "TextWindow.h"

namespace qvx::lh5ref {

template <class Sink>
class Lh5Parser {
public:
    Lh5Parser(TextWindow& window, MatchTree& tree, EncoderInput& input, Sink& sink)
        : window_(window), tree_(tree), input_(input), sink_(sink) {}

    // Parses the whole input. Returns false (and records nothing) when the input is empty.
    bool Run() {
        tree_.Init();
        tree_.CurrentPos = kFirstPosition;
        remaining_ = window_.FirstFill(input_);
        if (remaining_ == 0) return false;
        tree_.FoundPosition = 0;
        tree_.FoundLength = 0;
        tree_.InsertPosition();

        while (remaining_ > 0) {
            // The match for the position P = CurrentPos about to be decided.
            const int lastLength = tree_.FoundLength;
            const int lastPosition = tree_.FoundPosition;
            AdvancePosition();  // now the found match is the one at P + 1
            ClampFoundLength();
            if (tree_.FoundLength > lastLength || lastLength < kMinMatch) {
                sink_.RecordItem(window_.bytes[tree_.CurrentPos - 1], 0);
            } else {
                sink_.RecordItem(static_cast<unsigned>(lastLength + 253),
                                 static_cast<unsigned>(tree_.CurrentPos - lastPosition - 2) & 0x1FFFu);
                // Every position inside the match goes into the tree.
                for (int k = 1; k < lastLength; ++k) AdvancePosition();
                ClampFoundLength();
            }
        }
        return true;
    }

private:
    void ClampFoundLength() noexcept {
        if (tree_.FoundLength > remaining_) tree_.FoundLength = remaining_;
    }

    void AdvancePosition() {
        --remaining_;
        if (++tree_.CurrentPos == kCycleEnd) [[unlikely]] {
            remaining_ += window_.Slide(input_);
            tree_.CurrentPos = kCycleStart;
        }
        tree_.DeletePosition();
        tree_.InsertPosition();
    }

    TextWindow& window_;
    MatchTree& tree_;
    EncoderInput& input_;
    Sink& sink_;
    int remaining_ = 0;  // input bytes from CurrentPos to the end of the input
};

}  // namespace qvx::lh5ref
