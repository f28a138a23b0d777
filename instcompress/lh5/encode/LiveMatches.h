// The match finder as the source of a parse's matches (Lh5Parse.h): asked for position p, it
// advances the finder to p, inserting every position on the way, and cuts the match found there to
// the input bytes left from p. A parse that runs from the start of the input to its end with these
// matches is the LH5 encoder's own.
#pragma once

#include <cstdint>

#include "EncoderInput.h"
#include "Lh5Parse.h"
#include "StreamFinder.h"

namespace qvx::lh5 {

class LiveMatches {
public:
    // finder stands at some position with `inWindow` stream bytes taken in so far; its later fills
    // come from source.
    LiveMatches(StreamFinder& finder, FillSource& source, std::int64_t inWindow)
        : finder_(finder),
          source_(source),
          at_(finder.Position()),
          left_(static_cast<int>(inWindow - finder.Position())) {}

    static constexpr bool Knows(std::int64_t) noexcept { return true; }

    FoundMatch At(std::int64_t p) {
        if (p > at_) {
            auto n = static_cast<int>(p - at_);
            at_ = p;
            int left = left_;
            do {
                left += finder_.Advance(source_) - 1;
            } while (--n != 0);
            left_ = left;
        }
        MatchTree& tree = finder_.Tree();
        // Cut only where the encoder does: at the positions whose match the parse reads (the tree
        // starts its next search from the cut length).
        if (tree.FoundLength > left_) tree.FoundLength = left_;
        return {tree.FoundLength, finder_.PositionCode(), finder_.CurrentByte(), left_ <= 0};
    }

private:
    StreamFinder& finder_;
    FillSource& source_;
    std::int64_t at_;  // the position the finder stands at
    int left_;         // input bytes from there to the end of what the window has taken in
};

// Parses the whole input with a finder of its own. Returns false (and records nothing) when the
// input is empty.
template <class Sink>
bool ParseInput(StreamFinder& finder, EncoderInput& input, Sink& sink) {
    const int count = finder.StartAtBeginning(input);
    if (count == 0) return false;
    InputFills fills(input);
    LiveMatches matches(finder, fills, count);
    Lh5Parser<Sink> parser(sink);
    parser.Parse(matches);
    return true;
}

}  // namespace qvx::lh5
