#include "AdaptiveModel.h"

#include <cstring>

namespace qvx::lzh {

namespace {

constexpr std::int16_t I16(int v) noexcept { return static_cast<std::int16_t>(v); }
constexpr std::uint16_t U16(unsigned v) noexcept { return static_cast<std::uint16_t>(v); }

}  // namespace

void AdaptiveModel::ModelInit() noexcept {
    for (int s = 0; s < kSymbols; ++s) {
        NodeFreq[s] = 1;
        NodeChild[s] = I16(kLeaf + s);
        NodeParent[kLeaf + s] = I16(s);
    }
    for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
        NodeFreq[j] = U16(NodeFreq[i] + NodeFreq[i + 1]);
        NodeChild[j] = I16(i);
        NodeParent[i] = NodeParent[i + 1] = I16(j);
    }
    NodeFreq[kNodes] = kSentinel;
    NodeParent[kRoot] = 0;
}

int AdaptiveModel::LastLighter(int from, std::uint16_t k) const noexcept {
    // The weights from `from` up are in order and the sentinel outweighs every k, so the answer is
    // one below the first position at or above k. Runs of equal weight are long once the weights
    // even out (incompressible data), so after a short look the search doubles its steps and then
    // halves the last one.
    if (k <= NodeFreq[from + 1]) return from;
    if (k <= NodeFreq[from + 2]) return from + 1;
    int lo = from + 2;  // weighs less than k
    int step = 2;
    int hi = lo + step;
    while (hi < kNodes && k > NodeFreq[hi]) {
        lo = hi;
        step *= 2;
        hi = lo + step;
    }
    if (hi > kNodes) hi = kNodes;  // the sentinel
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (k > NodeFreq[mid])
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

void AdaptiveModel::ModelUpdate(int symbol) noexcept {
    if (NodeFreq[kRoot] == kRebuildWeight) ModelRebuild();
    int c = NodeParent[kLeaf + symbol];
    do {
        const std::uint16_t k = U16(NodeFreq[c] + 1u);
        NodeFreq[c] = k;
        if (k > NodeFreq[c + 1]) {
            // Move the node behind the run of nodes that now weigh less than it.
            const int l = LastLighter(c + 1, k);
            NodeFreq[c] = NodeFreq[l];
            NodeFreq[l] = k;

            const int i = NodeChild[c];
            const int j = NodeChild[l];
            NodeChild[l] = I16(i);
            NodeChild[c] = I16(j);
            NodeParent[i] = I16(l);
            if (i < kLeaf) NodeParent[i + 1] = I16(l);
            NodeParent[j] = I16(c);
            if (j < kLeaf) NodeParent[j + 1] = I16(c);
            c = l;
        }
        c = NodeParent[c];
    } while (c != 0);
}

void AdaptiveModel::ModelRebuild() noexcept {
    // Gather the leaves at the bottom, in their present order, with halved weights.
    int w = 0;
    for (int p = 0; p < kNodes; ++p) {
        if (NodeChild[p] >= kLeaf) {
            NodeFreq[w] = U16((NodeFreq[p] + 1u) / 2u);
            NodeChild[w] = NodeChild[p];
            ++w;
        }
    }
    // Pair them up again; each new node goes after every node of equal weight.
    for (int i = 0, k = kSymbols; k < kNodes; i += 2, ++k) {
        const std::uint16_t f = U16(NodeFreq[i] + NodeFreq[i + 1]);
        NodeFreq[k] = f;
        int l = k - 1;
        while (f < NodeFreq[l]) --l;
        ++l;
        const auto moved = static_cast<std::size_t>(k - l);
        std::memmove(&NodeFreq[l + 1], &NodeFreq[l], moved * sizeof NodeFreq[0]);
        std::memmove(&NodeChild[l + 1], &NodeChild[l], moved * sizeof NodeChild[0]);
        NodeFreq[l] = f;
        NodeChild[l] = I16(i);
    }
    for (int p = 0; p < kNodes; ++p) {
        const int k = NodeChild[p];
        NodeParent[k] = I16(p);
        if (k < kLeaf) NodeParent[k + 1] = I16(p);
    }
}

}  // namespace qvx::lzh
