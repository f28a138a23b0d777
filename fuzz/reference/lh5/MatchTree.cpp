#include "MatchTree.h"

#include <cstring>

namespace qvx::lh5ref {

void MatchTree::Init() {
    std::memset(node_, 0, sizeof node_);  // no leaf in the tree
    std::memset(next_, 0, sizeof next_);  // all chains empty
    for (int c = 0; c < 256; ++c) node_[kRootBase + c].level = 1;
    freeNode_ = 0;
    unusedNode_ = 1;
}

void MatchTree::AttachChild(int q, int c, int r) noexcept {
    const int h = Slot(q, c);
    const int t = next_[h];
    next_[h] = static_cast<std::uint16_t>(r);
    next_[r] = static_cast<std::uint16_t>(t);
    node_[t].prev = static_cast<std::uint16_t>(r);
    node_[r].prev = static_cast<std::uint16_t>(h);
    node_[r].parent = static_cast<std::uint16_t>(q);
    ++node_[q].childCount;
}

void MatchTree::TakeChainPlace(int n, int old) noexcept {
    int t = node_[old].prev;
    node_[n].prev = static_cast<std::uint16_t>(t);
    next_[t] = static_cast<std::uint16_t>(n);
    t = next_[old];
    next_[n] = static_cast<std::uint16_t>(t);
    node_[t].prev = static_cast<std::uint16_t>(n);
}

void MatchTree::SplitNode(int old) noexcept {
    const int n = NewNode();
    node_[n].childCount = 0;
    TakeChainPlace(n, old);
    node_[n].parent = node_[old].parent;
    node_[n].level = static_cast<std::uint8_t>(FoundLength);
    node_[n].position = static_cast<std::uint16_t>(CurrentPos);
    AttachChild(n, text_[FoundPosition + FoundLength], old);
    AttachChild(n, text_[CurrentPos + FoundLength], CurrentPos);
}

void MatchTree::InsertPosition() {
    int q;
    int r;
    if (FoundLength >= 4) {
        // The previous position had a match of 4 or more, so this one repeats its last
        // FoundLength - 1 bytes: start from the leaf after the previous match instead of the root.
        --FoundLength;
        r = (FoundPosition + 1) | kRootBase;
        while (node_[r].parent == 0) r = next_[r];  // follow leaves that were replaced
        q = node_[r].parent;
        while (node_[q].level >= FoundLength) {
            r = q;
            q = node_[q].parent;
        }
        // Bring positions up to date as far as the first node whose ancestors are pending.
        int t = q;
        while (node_[t].position & kPendingFlag) {
            node_[t].position = static_cast<std::uint16_t>(CurrentPos);
            t = node_[t].parent;
        }
        if (t < kRootBase) node_[t].position = static_cast<std::uint16_t>(CurrentPos | kPendingFlag);
    } else {
        q = kRootBase + text_[CurrentPos];
        const int c = text_[CurrentPos + 1];
        r = FindChild(q, c);
        if (r == 0) {
            AttachChild(q, c, CurrentPos);
            FoundLength = 1;
            return;
        }
        FoundLength = 2;
    }

    for (;;) {
        int j;
        if (r >= kRootBase) {
            j = kMaxMatch;
            FoundPosition = r;
        } else {
            j = node_[r].level;
            FoundPosition = node_[r].position & 0x7FFF;
        }
        if (FoundPosition >= CurrentPos) FoundPosition -= kWindowSize;
        {
            const std::uint8_t* a = text_ + CurrentPos;
            const std::uint8_t* b = text_ + FoundPosition;
            int len = FoundLength;
            while (len < j) {
                if (a[len] != b[len]) {
                    FoundLength = len;
                    SplitNode(r);
                    return;
                }
                ++len;
            }
            FoundLength = len;
        }
        if (FoundLength == kMaxMatch) break;
        // r is an internal node.
        node_[r].position = static_cast<std::uint16_t>(CurrentPos);
        q = r;
        const int c = text_[CurrentPos + FoundLength];
        r = FindChild(q, c);
        if (r == 0) {
            AttachChild(q, c, CurrentPos);
            return;
        }
        ++FoundLength;
    }

    // A 256-byte match with leaf r: the new leaf replaces it, and r keeps a forward link to it.
    TakeChainPlace(CurrentPos, r);
    node_[CurrentPos].parent = static_cast<std::uint16_t>(q);
    node_[r].parent = 0;
    next_[r] = static_cast<std::uint16_t>(CurrentPos);
}

void MatchTree::DeletePosition() {
    const int x = CurrentPos;
    if (node_[x].parent == 0) return;
    Unlink(x);
    const int r = node_[x].parent;
    node_[x].parent = 0;
    --node_[r].childCount;
    if (r >= kRootBase || node_[r].childCount > 1) return;

    // r has one child left and goes. Settle the deferred position updates above it first.
    const int t = ToWindowIndex(node_[r].position & 0x7FFF);
    int s = t;
    int q = node_[r].parent;
    while (node_[q].position & kPendingFlag) {
        const int u = ToWindowIndex(node_[q].position & 0x7FFF);
        if (u > s) s = u;
        node_[q].position = static_cast<std::uint16_t>(s | kRootBase);
        q = node_[q].parent;
    }
    if (q < kRootBase) {
        const int u = ToWindowIndex(node_[q].position);
        if (u > s) s = u;
        node_[q].position = static_cast<std::uint16_t>(s | kRootBase | kPendingFlag);
    }

    const int child = FindChild(r, text_[t + node_[r].level]);
    Unlink(child);
    TakeChainPlace(child, r);
    node_[child].parent = node_[r].parent;
    node_[r].parent = 0;
    next_[r] = static_cast<std::uint16_t>(freeNode_);
    freeNode_ = r;
}

}  // namespace qvx::lh5ref
