// The LH5 encoder's match search: a trie over the window positions of the last 8192 bytes that
// finds, for each inserted position, the longest earlier match of up to 256 bytes.
//
// Node numbers: 0 is none (and the sentinel slot of FindChild); 1..8191 internal nodes from a free
// list; 8192 + c the root of all strings beginning with byte c; 8192..16383 the leaves, one per
// window position; 16384..49151 hash slots, the heads of the child chains. Roots and leaves share
// numbers 8192..8447: roots use only level, position and child count, leaves only parent and chain
// links.
//
// The children of node q are found through hash slots: the chain of slot (q, c) holds the child of q
// whose edge begins with byte c, among nodes of other parents that share the slot. The slot function
// only has to be one-to-one in c for a fixed q; it spreads the children over 32768 slots, which keeps
// the chains short (the match results do not depend on it). A leaf number x < CurrentPos denotes window index x; x >= CurrentPos was inserted in the
// previous cycle and denotes window index x - 8192.
#pragma once

#include <cstdint>

#include "TextWindow.h"

namespace qvx::lh5 {

class MatchTree {
public:
    static constexpr int kRootBase = 8192;
    static constexpr int kNodeCount = 8448;         // internal nodes and roots
    static constexpr int kLeafEnd = 16384;          // leaves end here
    static constexpr int kHashBase = 16384;
    static constexpr int kHashSlots = 32768;
    static constexpr int kLinkCount = kHashBase + kHashSlots;  // nodes and hash slots
    static constexpr std::uint16_t kPendingFlag = 0x8000;

    explicit MatchTree(const std::uint8_t* text) : text_(text) {}

    // Empties the tree: every root at level 1, no leaves, all internal nodes free, all chains empty.
    void Init();

    // Inserts CurrentPos and leaves the longest match in FoundLength/FoundPosition.
    void InsertPosition();
    // Removes the leaf numbered CurrentPos (the position 8192 back), if it is in the tree.
    void DeletePosition();

    int CurrentPos = kFirstPosition;
    int FoundLength = 0;    // 1 when no match; at most 256
    int FoundPosition = 0;  // window index where the match starts, as of the insertion that found it

private:
    static int Slot(int q, int c) noexcept { return kHashBase + ((q * 0x9E3 + c) & (kHashSlots - 1)); }
    // Reduces a stored position to a window index (values at or above CurrentPos are from the
    // previous cycle).
    int ToWindowIndex(int p) const noexcept { return p >= CurrentPos ? p - kWindowSize : p; }

    int FindChild(int q, int c) noexcept {
        int r = trieNext_[Slot(q, c)];
        trieParent_[0] = static_cast<std::uint16_t>(q);
        while (trieParent_[r] != q) r = trieNext_[r];
        return r;
    }
    void AttachChild(int q, int c, int r) noexcept;
    void SplitNode(int old) noexcept;
    // Puts node n in the chain place of node old.
    void TakeChainPlace(int n, int old) noexcept;

    const std::uint8_t* text_;
    int freeNode_ = 1;
    std::uint16_t trieParent_[kLeafEnd]{};
    std::uint8_t trieLevel_[kNodeCount]{};
    std::uint16_t triePosition_[kNodeCount]{};
    std::uint8_t trieChildCount_[kNodeCount]{};
    std::uint16_t trieNext_[kLinkCount]{};
    std::uint16_t triePrev_[kLeafEnd]{};
};

}  // namespace qvx::lh5
