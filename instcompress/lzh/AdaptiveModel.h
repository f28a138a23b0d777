// AdaptiveModel: the adaptive Huffman code of the LZH method. A binary tree of 314 leaves (the
// literal bytes 0..255 and the match lengths 3..60 as symbols 256..313) whose node weights count how
// often each symbol has occurred. Both coders update the tree identically after every symbol, so
// the code follows the data without any table being sent.
//
// Nodes sit at positions 0..626 in order of non-decreasing weight; the root stays at 626. The bit
// that leads to a node is the parity of its position, so the two children of a node always sit at an
// even position and the one after it.
#pragma once

#include <cstdint>

namespace qvx::lzh {

class AdaptiveModel {
public:
    static constexpr int kSymbols = 314;
    static constexpr int kNodes = 2 * kSymbols - 1;  // 627
    static constexpr int kRoot = kNodes - 1;         // 626
    static constexpr int kLeaf = kNodes;             // NodeChild values of kLeaf + s mark the leaf of s
    static constexpr std::uint16_t kRebuildWeight = 0x8000;
    static constexpr std::uint16_t kSentinel = 0xFFFF;  // the weight one past the last node

    // Builds the initial tree: every symbol has weight 1; symbols 0..115 get 9-bit codes and
    // 116..313 8-bit codes.
    void ModelInit() noexcept;

    // Counts one more occurrence of symbol (0..313), moving nodes so that the weights stay ordered.
    // Rebuilds the tree first once the root weight has reached 0x8000.
    void ModelUpdate(int symbol) noexcept;

    // Position of symbol's leaf.
    int LeafOf(int symbol) const noexcept { return NodeParent[kLeaf + symbol]; }

    // Weight of every position, plus the sentinel at 627.
    std::uint16_t NodeFreq[kNodes + 1];
    // First child of an internal node (the second is at +1), or kLeaf + symbol for a leaf.
    std::int16_t NodeChild[kNodes + 1];
    // 0..626: parent of each position (0 for the root); 627 + s: the leaf position of symbol s.
    std::int16_t NodeParent[kNodes + kSymbols + 1];

private:
    // The highest position from `from` up whose weight is below k, given that `from`'s is.
    int LastLighter(int from, std::uint16_t k) const noexcept;
    // Halves every leaf weight (rounding up) and forms the internal nodes afresh.
    void ModelRebuild() noexcept;
};

}  // namespace qvx::lzh
