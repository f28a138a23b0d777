// MatchDictionary: finds, for the 60-byte string at a window position, the longest earlier string in
// the window that matches it (3..60 bytes) and how far back it starts. Positions are kept in 4096
// buckets keyed by their first three bytes; each bucket holds a binary search tree of the strings,
// ordered byte by byte (smaller to the left, greater or equal to the right). Every node records how
// many leading bytes it shares with its parent, so a descent skips bytes already known to be equal.
// Inserting a position and searching its best match are one operation.
//
// The caller keeps the 60 bytes of every present position unchanged while it is present (the
// compressor deletes a position before it overwrites the byte there).
#pragma once

#include <cstdint>

#include "../LzhWindow.h"

namespace qvx::lzh {

class MatchDictionary {
public:
    static constexpr int kNoNode = kWindowSize;     // the empty link (4096)
    static constexpr int kHeads = kWindowSize + 1;  // the head of bucket h is kHeads + h
    static constexpr int kBuckets = 4096;

    // window: kWindowBytes + kWindowSlack bytes; the string of position p is window[p..p + 59].
    explicit MatchDictionary(const std::uint8_t* window) noexcept : window_(window) {}

    // Empties the dictionary.
    void DictInit() noexcept;
    // Inserts position r (0..4095) and sets MatchLength and MatchOffset for its string. A present
    // string equal to r's in all 60 bytes is replaced by r.
    void DictInsert(int r) noexcept;
    // Removes position p if it is present.
    void DictDelete(int p) noexcept;

    // Bucket of the string starting at window[p].
    int BucketOf(int p) const noexcept {
        const unsigned x = window_[p + 1] ^ window_[p + 2];
        return static_cast<int>(window_[p] + 256u * ((x ^ (x >> 4)) & 0x0Fu));
    }

    // Result of the last DictInsert: 0 when no match of 3 or more was found, else 3..60.
    int MatchLength = 0;
    // Distance minus one to the matching position: ((r - p) & 0xFFF) - 1.
    int MatchOffset = 0;

    // Right child of a position; at kHeads + h the root of bucket h.
    std::int16_t DictRight[kHeads + kBuckets];
    // Left child of a position.
    std::int16_t DictLeft[kNoNode + 1];
    // Parent of a position (a position or a head), kNoNode when absent. Entry 4096 takes the
    // parent stores made through empty links and is never read.
    std::int16_t DictParent[kNoNode + 2];
    // Bytes (1..60) a position's string shares with its parent's; 1 under a head.
    std::uint8_t DictPrefixLen[kNoNode + 2];

private:
    void DictMeasurePrefix(int start, int parent, int node) noexcept;
    void DictInheritPrefix(int parent, int removed, int child) noexcept;
    // Makes the parent's link that points at from point at to.
    void Relink(int parent, int from, int to) noexcept;

    const std::uint8_t* window_;
};

}  // namespace qvx::lzh
