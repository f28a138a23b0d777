// StreamFinder: the LH5 encoder's match search (window and match tree) driven along a stream whose
// bytes come in fills of 8192 bytes, as the encoder's window takes them: fill 0 is the first fill
// (stream bytes 0..8191), fill k the one of the k-th slide (stream bytes 8192k..8192k + 8191).
//
// A finder either starts at the beginning of the stream, exactly as the encoder does, or starts
// cold at a later cycle boundary with its window filled from memory; a cold finder does not know
// the positions before its start, so its results differ at first. Once the search states of a
// finder that ran from the beginning and of a cold one agree at some position
// (MatchTree::SameSearchState), every later result of the two agrees, which is what lets separate
// finders work on separate stretches of one stream.
#pragma once

#include <cstdint>

#include "MatchTree.h"
#include "TextWindow.h"

namespace qvx::lh5 {

inline constexpr std::int64_t kFillSize = kWindowSize;
// Stream position of the first position of cycle m >= 1 (the first cycle codes 7936 positions).
constexpr std::int64_t CycleStart(std::int64_t m) noexcept { return kFillSize * m - kMaxMatch; }

// Where a finder's fills come from.
class FillSource {
public:
    // Stores the next fill at dst the way the encoder's window fill does: returns the number of
    // input bytes stored (8192 while the input lasts); when fewer, dst[count] received the 0 of
    // the end and the bytes above it were left as they were.
    virtual int NextFill(std::uint8_t* dst) = 0;

protected:
    ~FillSource() = default;
};

// The fills of the encoder's own input.
class InputFills final : public FillSource {
public:
    explicit InputFills(EncoderInput& input) : input_(input) {}
    int NextFill(std::uint8_t* dst) override { return input_.Fill(dst, static_cast<int>(kFillSize)); }

private:
    EncoderInput& input_;
};

class StreamFinder {
public:
    StreamFinder() : tree_(window_.bytes) {}
    StreamFinder(const StreamFinder&) = delete;
    StreamFinder& operator=(const StreamFinder&) = delete;

    // As the encoder starts: the first fill (its bytes already in the form the window takes, with
    // `count` input bytes), then the insertion of position 0. Returns count.
    int StartAtBeginning(const std::uint8_t* fill0, int count);
    // The same with the first fill read from the encoder's input (TextWindow::FirstFill).
    int StartAtBeginning(EncoderInput& input);
    // Cold start at stream position CycleStart(m) (m >= 2): `history` holds the stream bytes from
    // CycleStart(m) - 8192 up to CycleStart(m) + 8448. Inserts position CycleStart(m).
    void StartCold(std::int64_t m, const std::uint8_t* history);

    // Inserts the next position, sliding the window first at the end of a cycle. Returns the number
    // of input bytes the slide brought (0 without a slide).
    int Advance(FillSource& source) {
        ++position_;
        int added = 0;
        if (++tree_.CurrentPos == kCycleEnd) [[unlikely]]
            added = Slide(source);
        tree_.DeletePosition();
        tree_.InsertPosition();
        return added;
    }

    // The stream position inserted last and the match found for it.
    std::int64_t Position() const noexcept { return position_; }
    int FoundLength() const noexcept { return tree_.FoundLength; }
    // The match's position code (distance - 1) as the encoder sends it when this position starts a
    // match: taken modulo 8192, so a slide before the next position does not change it.
    unsigned PositionCode() const noexcept {
        return static_cast<unsigned>(tree_.CurrentPos - tree_.FoundPosition - 1) & 0x1FFFu;
    }
    // The byte at the stream position inserted last.
    std::uint8_t CurrentByte() const noexcept { return window_.bytes[tree_.CurrentPos]; }

    MatchTree& Tree() noexcept { return tree_; }
    const MatchTree& Tree() const noexcept { return tree_; }
    // The stream bytes held by the window are identical for two finders at the same position.
    const TextWindow& Window() const noexcept { return window_; }

private:
    int Begin(int count);
    int Slide(FillSource& source);

    TextWindow window_;
    MatchTree tree_;
    std::int64_t position_ = 0;
};

}  // namespace qvx::lh5
