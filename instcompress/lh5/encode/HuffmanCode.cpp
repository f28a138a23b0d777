#include "HuffmanCode.h"

namespace qvx::lh5 {

namespace {

// A 1-based min-heap of node numbers ordered by frequency. On equal weights the left child wins
// and an element stops above a child of equal weight; with the ascending insertion of the symbols
// these rules fix the order in which equal weights leave the heap.
class NodeHeap {
public:
    explicit NodeHeap(const std::uint16_t* freq) : freq_(freq) {}

    void SiftDown(int i) {
        const std::uint16_t k = heap_[i];
        for (int j = 2 * i; j <= size_; j = 2 * i) {
            if (j < size_ && freq_[heap_[j]] > freq_[heap_[j + 1]]) ++j;
            if (freq_[k] <= freq_[heap_[j]]) break;
            heap_[i] = heap_[j];
            i = j;
        }
        heap_[i] = k;
    }

    std::array<std::uint16_t, kMaxHuffmanSymbols + 1> heap_{};
    int size_ = 0;

private:
    const std::uint16_t* freq_;
};

}  // namespace

std::uint16_t BuildHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* lengths, std::uint16_t* codes) {
    NodeHeap heap(freq);
    auto& h = heap.heap_;
    for (int s = 0; s < n; ++s) {
        lengths[s] = 0;
        if (freq[s] != 0) h[static_cast<std::size_t>(++heap.size_)] = static_cast<std::uint16_t>(s);
    }
    if (heap.size_ < 2) {
        codes[h[1]] = 0;
        return h[1];
    }
    for (int i = heap.size_ / 2; i >= 1; --i) heap.SiftDown(i);

    std::array<std::uint16_t, kMaxHuffmanNodes> firstChild{};
    std::array<std::uint16_t, kMaxHuffmanNodes> secondChild{};
    std::array<std::uint16_t, kMaxHuffmanSymbols> leafOrder{};
    int leaves = 0;
    auto next = static_cast<std::uint16_t>(n);
    std::uint16_t k = 0;
    do {
        const std::uint16_t i = h[1];
        if (i < n) leafOrder[static_cast<std::size_t>(leaves++)] = i;
        h[1] = h[static_cast<std::size_t>(heap.size_--)];
        heap.SiftDown(1);
        const std::uint16_t j = h[1];
        if (j < n) leafOrder[static_cast<std::size_t>(leaves++)] = j;
        k = next++;
        freq[k] = static_cast<std::uint16_t>(freq[i] + freq[j]);
        h[1] = k;
        heap.SiftDown(1);
        firstChild[k] = i;
        secondChild[k] = j;
    } while (heap.size_ != 1);

    DepthCounts depthCount{};
    CountLeafDepths(k, n, firstChild.data(), secondChild.data(), depthCount);
    FitCodeLengths(depthCount, leafOrder.data(), lengths);
    AssignCodes(n, depthCount, lengths, codes);
    return k;
}

void CountLeafDepths(std::uint16_t root, int n, const std::uint16_t* firstChild, const std::uint16_t* secondChild,
                     DepthCounts& depthCount) {
    depthCount.fill(0);
    // Explicit stack: the tree may be as deep as n - 1 levels. Every internal node pushes two
    // entries and pops one, so the stack never holds more than n entries.
    struct Entry {
        std::uint16_t node;
        int depth;
    };
    std::array<Entry, kMaxHuffmanSymbols + 1> stack{};
    std::size_t top = 0;
    stack[top++] = {root, 0};
    while (top != 0) {
        const Entry e = stack[--top];
        if (e.node < n) {
            ++depthCount[static_cast<std::size_t>(e.depth < kMaxCodeLength ? e.depth : kMaxCodeLength)];
        } else {
            stack[top++] = {secondChild[e.node], e.depth + 1};
            stack[top++] = {firstChild[e.node], e.depth + 1};
        }
    }
}

void FitCodeLengths(DepthCounts& depthCount, const std::uint16_t* leafOrder, std::uint8_t* lengths) {
    std::uint16_t cum = 0;
    for (int i = 1; i <= kMaxCodeLength; ++i)
        cum = static_cast<std::uint16_t>(
            cum + (static_cast<unsigned>(depthCount[static_cast<std::size_t>(i)]) << (kMaxCodeLength - i)));
    if (cum != 0) {
        // Leaves deeper than 16 were counted at 16 and overfill the code space by cum units of
        // 2^-16. Take cum codes off length 16, then split one shorter code per removed code.
        depthCount[kMaxCodeLength] -= cum;
        for (unsigned rep = 0; rep < cum; ++rep) {
            for (int i = kMaxCodeLength - 1; i >= 1; --i) {
                if (depthCount[static_cast<std::size_t>(i)] > 0) {
                    --depthCount[static_cast<std::size_t>(i)];
                    depthCount[static_cast<std::size_t>(i + 1)] += 2;
                    break;
                }
            }
        }
    }
    std::size_t next = 0;
    for (int len = kMaxCodeLength; len >= 1; --len)
        for (int c = depthCount[static_cast<std::size_t>(len)]; c > 0; --c)
            lengths[leafOrder[next++]] = static_cast<std::uint8_t>(len);
}

void AssignCodes(int n, const DepthCounts& depthCount, const std::uint8_t* lengths, std::uint16_t* codes) {
    std::array<std::uint16_t, kMaxCodeLength + 2> start{};
    for (int len = 1; len <= kMaxCodeLength; ++len)
        start[static_cast<std::size_t>(len + 1)] = static_cast<std::uint16_t>(
            start[static_cast<std::size_t>(len)] +
            (static_cast<unsigned>(depthCount[static_cast<std::size_t>(len)]) << (kMaxCodeLength - len)));
    for (int s = 0; s < n; ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        codes[s] = start[static_cast<std::size_t>(len)];
        start[static_cast<std::size_t>(len)] =
            static_cast<std::uint16_t>(start[static_cast<std::size_t>(len)] + (1u << (kMaxCodeLength - len)));
    }
}

}  // namespace qvx::lh5
