// The LH5 encoder's parse: the one rule that turns the matches found at each position into
// literals and matches, with a one-step look-ahead. A position's match is taken unless the next
// position has a longer one or it is shorter than 3 bytes; then the position's byte goes out as a
// literal. Each chosen item goes to a sink with RecordItem(symbol, position code); the block writer
// is the sink of a compression run.
//
// The matches come from a source that answers At(p) for the positions in increasing order (a
// position may be asked again, never one before the last asked):
//   - LiveMatches (LiveMatches.h): the match finder itself, driven along the input;
//   - the matches recorded for a stretch of the stream by a finder on another thread
//     (Lh5ParallelCompress.cpp).
// Knows(p) tells whether the source can answer for p. One parse may take its matches from several
// sources in turn, each going on where the one before ends.
#pragma once

#include <cstdint>
#include <limits>

#include "../Lh5Format.h"

namespace qvx::lh5 {

// The match found at one position of the stream.
struct FoundMatch {
    int length;         // 1 and less: no match; at most 256, and at most the input bytes left
    unsigned code;      // position code (distance - 1)
    std::uint8_t byte;  // the byte at the position
    bool pastEnd;       // the position lies at or after the end of the input
};

template <class Sink>
class Lh5Parser {
public:
    explicit Lh5Parser(Sink& sink) : sink_(sink) {}

    // Decides the items from Next() on, while the source knows the matches of the position to
    // decide and of the one after it, and until Next() has reached `until`. Returns false once the
    // end of the input has been reached (everything is decided), true when it stopped before.
    template <class Matches>
    bool Parse(Matches& matches, std::int64_t until = std::numeric_limits<std::int64_t>::max()) {
        std::int64_t next = next_;  // kept in a register across the calls below
        bool more = true;
        while (next < until && matches.Knows(next + 1)) {
            const FoundMatch here = matches.At(next);
            if (here.pastEnd) {
                more = false;
                break;
            }
            const FoundMatch after = matches.At(next + 1);
            if (after.length > here.length || here.length < kMinMatch) {
                sink_.RecordItem(here.byte, 0);
                next += 1;
            } else {
                sink_.RecordItem(static_cast<unsigned>(here.length + kLengthSymbolBias), here.code);
                next += here.length;
            }
        }
        next_ = next;
        return more;
    }

    // The next position to decide.
    std::int64_t Next() const noexcept { return next_; }

private:
    Sink& sink_;
    std::int64_t next_ = 0;
};

}  // namespace qvx::lh5
