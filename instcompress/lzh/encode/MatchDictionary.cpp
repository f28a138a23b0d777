#include "MatchDictionary.h"

#include <bit>
#include <cstring>

namespace qvx::lzh {

namespace {

constexpr std::int16_t I16(int v) noexcept { return static_cast<std::int16_t>(v); }

// Eight window bytes as a number whose lowest byte is the first (little-endian order).
std::uint64_t Load64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

}  // namespace

void MatchDictionary::DictInit() noexcept {
    for (int h = 0; h < kBuckets; ++h) DictRight[kHeads + h] = I16(kNoNode);
    for (int p = 0; p < kWindowSize; ++p) DictParent[p] = I16(kNoNode);
    MatchLength = 0;
    MatchOffset = 0;
}

void MatchDictionary::Relink(int parent, int from, int to) noexcept {
    // A head's only link is its right one.
    if (DictRight[parent] == from)
        DictRight[parent] = I16(to);
    else
        DictLeft[parent] = I16(to);
}

void MatchDictionary::DictInsert(int r) noexcept {
    DictLeft[r] = DictRight[r] = I16(kNoNode);
    int p = kHeads + BucketOf(r);
    int cmp = 1;  // the first step takes the head's right link
    int i = 1;    // leading bytes known equal: all strings of a bucket share the first
    MatchLength = 0;
    const std::uint8_t* const key = window_ + r;

    for (;;) {
        std::int16_t& link = cmp >= 0 ? DictRight[p] : DictLeft[p];
        if (link == kNoNode) {
            link = I16(r);
            DictParent[r] = I16(p);
            DictPrefixLen[r] = static_cast<std::uint8_t>(i);
            return;
        }
        p = link;

        // p shares c bytes with its parent, which r shares i bytes with.
        const int c = DictPrefixLen[p];
        if (c < i) {
            i = c;
            cmp = key[i] - window_[p + i];
        } else if (c == i) {
            const std::uint8_t* const other = window_ + p;
            // Eight bytes at a time: the first byte that differs decides, unless it lies at or
            // beyond the 60th.
            while (i < kMaxMatch) {
                const std::uint64_t x = Load64(key + i) ^ Load64(other + i);
                i += x == 0 ? 8 : std::countr_zero(x) / 8;
                if (i >= kMaxMatch) {
                    i = kMaxMatch;  // equal through the 60th byte
                    cmp = 0;
                } else if (x != 0) {
                    cmp = key[i] - other[i];
                    break;
                }
            }
        }
        // c > i: r differs from p where it differs from p's parent, in the same direction.

        if (i >= kMinMatch) {
            const int d = ((r - p) & kWindowMask) - 1;
            if (i > MatchLength) {
                MatchOffset = d;
                MatchLength = i;
                if (MatchLength >= kMaxMatch) break;
            } else if (i == MatchLength && static_cast<std::uint16_t>(d) < static_cast<std::uint16_t>(MatchOffset)) {
                MatchOffset = d;
            }
        }
    }

    // r's string equals p's: r takes p's place in the tree and p leaves.
    DictPrefixLen[r] = DictPrefixLen[p];
    DictParent[r] = DictParent[p];
    DictLeft[r] = DictLeft[p];
    DictRight[r] = DictRight[p];
    DictParent[DictLeft[p]] = I16(r);
    DictParent[DictRight[p]] = I16(r);
    Relink(DictParent[p], p, r);
    DictParent[p] = I16(kNoNode);
}

void MatchDictionary::DictMeasurePrefix(int start, int parent, int node) noexcept {
    if (parent >= kNoNode) {
        DictPrefixLen[node] = 1;
        return;
    }
    const std::uint8_t* const a = window_ + parent;
    const std::uint8_t* const b = window_ + node;
    int k = start;
    while (k < kMaxMatch && a[k] == b[k]) ++k;
    DictPrefixLen[node] = static_cast<std::uint8_t>(k);
}

void MatchDictionary::DictInheritPrefix(int parent, int removed, int child) noexcept {
    // child moves up into removed's place under parent.
    const int a = DictPrefixLen[removed];
    const int b = DictPrefixLen[child];
    if (a == b)
        DictMeasurePrefix(a, parent, child);
    else if (a < b)
        DictPrefixLen[child] = static_cast<std::uint8_t>(a);
    // a > b: child shares exactly b bytes with parent too.
}

void MatchDictionary::DictDelete(int p) noexcept {
    if (DictParent[p] == kNoNode) return;

    int q;
    if (DictRight[p] == kNoNode) {
        q = DictLeft[p];
        if (q != kNoNode) DictInheritPrefix(DictParent[p], p, q);
    } else if (DictLeft[p] == kNoNode) {
        q = DictRight[p];
        DictInheritPrefix(DictParent[p], p, q);
    } else {
        // Two children: the greatest string of the left subtree takes p's place.
        q = DictLeft[p];
        if (DictRight[q] != kNoNode) {
            do q = DictRight[q];
            while (DictRight[q] != kNoNode);
            if (DictLeft[q] != kNoNode) DictInheritPrefix(DictParent[q], q, DictLeft[q]);
            DictMeasurePrefix(1, q, DictLeft[p]);
            DictRight[DictParent[q]] = DictLeft[q];
            DictParent[DictLeft[q]] = DictParent[q];
            DictLeft[q] = DictLeft[p];
            DictParent[DictLeft[p]] = I16(q);
        }
        DictMeasurePrefix(1, DictParent[p], q);
        DictMeasurePrefix(1, q, DictRight[p]);
        DictRight[q] = DictRight[p];
        DictParent[DictRight[p]] = I16(q);
    }
    DictParent[q] = DictParent[p];
    Relink(DictParent[p], p, q);
    DictParent[p] = I16(kNoNode);
}

}  // namespace qvx::lzh
