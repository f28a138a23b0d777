// The LH5 encoder's match search: a trie over the window positions of the last 8192 bytes that
// finds, for each inserted position, the longest earlier match of up to 256 bytes.
//
// Node numbers: 0 is none (and the sentinel slot of FindChild); 1..8191 internal nodes from a free
// list; 8192 + c the root of all strings beginning with byte c; 8192..16383 the leaves, one per
// window position; 16384..49151 hash slots, the heads of the child chains. Roots and leaves share
// numbers 8192..8447: roots use only level, position and child count, leaves only parent and chain
// links. A leaf number x < CurrentPos denotes window index x; x >= CurrentPos was inserted in the
// previous cycle and denotes window index x - 8192.
//
// The children of node q are found through hash slots: the chain of slot (q, c) holds the child of q
// whose edge begins with byte c, among nodes of other parents that share the slot. The slot function
// only has to be one-to-one in c for a fixed q; it spreads the children over 32768 slots, which keeps
// the chains short. Neither the slot function nor the order within a chain changes a match result.
#pragma once

#include <cstdint>

#include "TextWindow.h"

namespace qvx::lh5 {

class MatchTree {
public:
    static constexpr int kRootBase = kWindowSize;     // 8192
    static constexpr int kLeafEnd = 2 * kWindowSize;  // 16384: leaves end here
    static constexpr int kHashBase = kLeafEnd;
    static constexpr int kHashSlots = 32768;
    static_assert(kHashBase + kHashSlots <= 0x10000, "slot numbers are kept in 16-bit chain links");
    static constexpr std::uint16_t kPendingFlag = 0x8000;

    explicit MatchTree(const std::uint8_t* text) : text_(text) {}

    // Empties the tree: every root at level 1, no leaves, all internal nodes free, all chains empty.
    // A tree is used only after Init.
    void Init();

    // Inserts CurrentPos and leaves the longest match in FoundLength/FoundPosition.
    void InsertPosition();
    // Removes the leaf numbered CurrentPos (the position 8192 back), if it is in the tree.
    void DeletePosition();

    // True when every later insertion would find in `other` exactly the matches it finds here,
    // provided both trees index the same text window: the same position, the same previous match,
    // the same leaves under the same parents, and internal nodes that correspond one to one with
    // the same level, recorded position (and pending flag) and child count. Node numbers, chain
    // order and the free list may differ; they change no search result. `other` may be a copy
    // taken of another tree (a copy keeps the text pointer of its original, which this does not
    // read).
    bool SameSearchState(const MatchTree& other) const;

    int CurrentPos = kFirstPosition;
    int FoundLength = 0;    // 1 when no match; at most 256
    int FoundPosition = 0;  // window index where the match starts, as of the insertion that found it

private:
    static int Slot(int q, int c) noexcept { return kHashBase + ((q * 0x9E3 + c) & (kHashSlots - 1)); }
    // Takes node x out of its chain.
    void Unlink(int x) noexcept {
        next_[node_[x].prev] = next_[x];
        node_[next_[x]].prev = node_[x].prev;
    }
    // Reduces a stored position to a window index (values at or above CurrentPos are from the
    // previous cycle).
    int ToWindowIndex(int p) const noexcept { return p >= CurrentPos ? p - kWindowSize : p; }

    int FindChild(int q, int c) noexcept {
        int r = next_[Slot(q, c)];
        node_[0].parent = static_cast<std::uint16_t>(q);
        while (node_[r].parent != q) r = next_[r];
        return r;
    }
    void AttachChild(int q, int c, int r) noexcept;
    void SplitNode(int old) noexcept;
    // Puts node n in the chain place of node old.
    void TakeChainPlace(int n, int old) noexcept;

    const std::uint8_t* text_;
    // Internal nodes are handed out as from one free list 1, 2, ..., 8191 to which removed nodes
    // return at the front: the removed ones from freeNode_ (0 = none), then the never used ones from
    // unusedNode_ upward.
    int NewNode() noexcept {
        if (freeNode_ == 0) return unusedNode_++;
        const int n = freeNode_;
        freeNode_ = next_[n];
        return n;
    }
    int freeNode_ = 0;
    int unusedNode_ = 1;
    // What a search reads of a node shares one 8-byte record.
    struct Node {
        std::uint16_t parent;     // 0 = not in the tree; node 0 is the sentinel of FindChild
        std::uint16_t prev;       // previous in the chain, or the hash slot for the first node
        std::uint16_t position;   // internal node: most recent leaf through it, with kPendingFlag
        std::uint8_t level;       // internal node: length of its common prefix (2..255); root: 1
        std::uint8_t childCount;  // counted for roots too, but never tested for them
    };
    Node node_[kLeafEnd];
    // Chain links: for a node, the next node in its chain (the next free node for a free internal
    // node; for a replaced leaf, its successor); for a hash slot, the first node of its chain.
    std::uint16_t next_[kHashBase + kHashSlots];
};

}  // namespace qvx::lh5
