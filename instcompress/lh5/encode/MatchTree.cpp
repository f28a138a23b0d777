#include "MatchTree.h"

#include <cstring>
#include <vector>

namespace qvx::lh5 {

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

bool MatchTree::SameSearchState(const MatchTree& other) const {
    if (CurrentPos != other.CurrentPos || FoundLength != other.FoundLength || FoundPosition != other.FoundPosition)
        return false;
    // mapped[a]: the node of `other` that internal node a of this tree corresponds to (0: none yet);
    // taken[b] marks the nodes of `other` already matched, so the correspondence is one to one.
    std::vector<std::uint16_t> mapped(kRootBase, 0);
    std::vector<bool> taken(kRootBase, false);
    for (int leaf = kRootBase; leaf < kLeafEnd; ++leaf) {
        int a = node_[leaf].parent;
        int b = other.node_[leaf].parent;
        if ((a == 0) != (b == 0)) return false;
        if (a == 0) {
            // Not in the tree: replaced by a newer leaf (the forward link a search follows) or
            // never inserted.
            if (next_[leaf] != other.next_[leaf]) return false;
            continue;
        }
        // Up the path to the first node already matched, or to the root.
        while (a < kRootBase) {
            if (b >= kRootBase) return false;
            if (mapped[a] != 0) {
                if (mapped[a] != b) return false;
                break;
            }
            if (taken[b]) return false;
            const Node& x = node_[a];
            const Node& y = other.node_[b];
            if (x.level != y.level || x.position != y.position || x.childCount != y.childCount) return false;
            mapped[a] = static_cast<std::uint16_t>(b);
            taken[b] = true;
            a = x.parent;
            b = y.parent;
        }
        if (a >= kRootBase && a != b) return false;
    }
    return true;
}

}  // namespace qvx::lh5
