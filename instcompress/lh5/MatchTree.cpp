#include "MatchTree.h"

namespace qvx::lh5 {

void MatchTree::Init() {
    for (int c = 0; c < 256; ++c) {
        trieLevel_[kRootBase + c] = 1;
        triePosition_[kRootBase + c] = 0;
    }
    for (int i = kRootBase; i < kLeafEnd; ++i) trieParent_[i] = 0;
    freeNode_ = 1;
    for (int i = 1; i < kRootBase - 1; ++i) trieNext_[i] = static_cast<std::uint16_t>(i + 1);
    trieNext_[kRootBase - 1] = 0;
    for (int i = kHashBase; i < kLinkCount; ++i) trieNext_[i] = 0;
}

void MatchTree::AttachChild(int q, int c, int r) noexcept {
    const int h = Slot(q, c);
    const int t = trieNext_[h];
    trieNext_[h] = static_cast<std::uint16_t>(r);
    trieNext_[r] = static_cast<std::uint16_t>(t);
    triePrev_[t] = static_cast<std::uint16_t>(r);
    triePrev_[r] = static_cast<std::uint16_t>(h);
    trieParent_[r] = static_cast<std::uint16_t>(q);
    ++trieChildCount_[q];
}

void MatchTree::TakeChainPlace(int n, int old) noexcept {
    int t = triePrev_[old];
    triePrev_[n] = static_cast<std::uint16_t>(t);
    trieNext_[t] = static_cast<std::uint16_t>(n);
    t = trieNext_[old];
    trieNext_[n] = static_cast<std::uint16_t>(t);
    triePrev_[t] = static_cast<std::uint16_t>(n);
}

void MatchTree::SplitNode(int old) noexcept {
    const int n = freeNode_;
    freeNode_ = trieNext_[n];
    trieChildCount_[n] = 0;
    TakeChainPlace(n, old);
    trieParent_[n] = trieParent_[old];
    trieLevel_[n] = static_cast<std::uint8_t>(FoundLength);
    triePosition_[n] = static_cast<std::uint16_t>(CurrentPos);
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
        while (trieParent_[r] == 0) r = trieNext_[r];  // follow leaves that were replaced
        q = trieParent_[r];
        while (trieLevel_[q] >= FoundLength) {
            r = q;
            q = trieParent_[q];
        }
        // Bring positions up to date as far as the first node whose ancestors are pending.
        int t = q;
        while (triePosition_[t] & kPendingFlag) {
            triePosition_[t] = static_cast<std::uint16_t>(CurrentPos);
            t = trieParent_[t];
        }
        if (t < kRootBase) triePosition_[t] = static_cast<std::uint16_t>(CurrentPos | kPendingFlag);
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
            j = trieLevel_[r];
            FoundPosition = triePosition_[r] & 0x7FFF;
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
        triePosition_[r] = static_cast<std::uint16_t>(CurrentPos);
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
    trieParent_[CurrentPos] = static_cast<std::uint16_t>(q);
    trieParent_[r] = 0;
    trieNext_[r] = static_cast<std::uint16_t>(CurrentPos);
}

void MatchTree::DeletePosition() {
    const int x = CurrentPos;
    if (trieParent_[x] == 0) return;
    trieNext_[triePrev_[x]] = trieNext_[x];
    triePrev_[trieNext_[x]] = triePrev_[x];
    const int r = trieParent_[x];
    trieParent_[x] = 0;
    --trieChildCount_[r];
    if (r >= kRootBase || trieChildCount_[r] > 1) return;

    // r has one child left and goes. Settle the deferred position updates above it first.
    const int t = ToWindowIndex(triePosition_[r] & 0x7FFF);
    int s = t;
    int q = trieParent_[r];
    while (triePosition_[q] & kPendingFlag) {
        const int u = ToWindowIndex(triePosition_[q] & 0x7FFF);
        if (u > s) s = u;
        triePosition_[q] = static_cast<std::uint16_t>(s | kRootBase);
        q = trieParent_[q];
    }
    if (q < kRootBase) {
        const int u = ToWindowIndex(triePosition_[q]);
        if (u > s) s = u;
        triePosition_[q] = static_cast<std::uint16_t>(s | kRootBase | kPendingFlag);
    }

    const int child = FindChild(r, text_[t + trieLevel_[r]]);
    trieNext_[triePrev_[child]] = trieNext_[child];
    triePrev_[trieNext_[child]] = triePrev_[child];
    TakeChainPlace(child, r);
    trieParent_[child] = trieParent_[r];
    trieParent_[r] = 0;
    trieNext_[r] = static_cast<std::uint16_t>(freeNode_);
    freeNode_ = r;
}

}  // namespace qvx::lh5
