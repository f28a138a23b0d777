#include "Lh5DecodeTable.h"

#include <algorithm>
#include <array>

#include <instcompress/Exceptions.h>

#include "../Lh5Format.h"

namespace qvx::lh5 {

void MakeTable(unsigned nchar, std::span<const std::uint8_t> lengths, unsigned tablebits,
               std::span<std::uint16_t> table, std::span<std::uint16_t> leftLink, std::span<std::uint16_t> rightLink) {
    const std::size_t tableSize = std::size_t{1} << tablebits;
    if (lengths.size() < nchar || table.size() < tableSize || tablebits > kMaxCodeLength ||
        leftLink.size() != rightLink.size())
        throw ELZHBadDecodeTable();

    std::array<std::uint32_t, kMaxCodeLength + 1> count{};
    for (unsigned s = 0; s < nchar; ++s) {
        if (lengths[s] > kMaxCodeLength) throw ELZHBadDecodeTable();
        ++count[lengths[s]];
    }

    // start[len]: the first code of length len, left-aligned in 16 bits. A complete prefix code
    // ends at exactly 65536; anything else (incomplete, or over-full so that codes would overlap)
    // is refused.
    std::array<std::uint32_t, kMaxCodeLength + 2> start{};
    std::uint32_t total = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        start[len] = total;
        total += count[len] << (kMaxCodeLength - len);
    }
    start[kMaxCodeLength + 1] = total;
    if (total == 0) {
        std::fill_n(table.begin(), tableSize, kNoCodeEntry);
        return;
    }
    if (total != 0x10000) throw ELZHBadDecodeTable();

    const unsigned jutbits = kMaxCodeLength - tablebits;
    std::array<std::uint32_t, kMaxCodeLength + 1> weight{};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        if (len <= tablebits) {
            start[len] >>= jutbits;
            weight[len] = std::uint32_t{1} << (tablebits - len);
        } else {
            weight[len] = std::uint32_t{1} << (kMaxCodeLength - len);
        }
    }

    // The slots from the first code longer than tablebits onward hold tree roots; 0 marks a slot
    // or link to which no node has been attached yet.
    const std::uint32_t firstRoot = start[tablebits + 1] >> jutbits;
    std::fill(table.begin() + firstRoot, table.begin() + static_cast<std::ptrdiff_t>(tableSize), std::uint16_t{0});

    std::size_t avail = nchar;
    for (unsigned s = 0; s < nchar; ++s) {
        const unsigned len = lengths[s];
        if (len == 0) continue;
        const std::uint32_t next = start[len] + weight[len];
        if (len <= tablebits) {
            std::fill(table.begin() + start[len], table.begin() + next, static_cast<std::uint16_t>(s));
        } else {
            const std::uint32_t code = start[len];
            std::uint16_t* link = &table[code >> jutbits];
            std::uint32_t bit = std::uint32_t{1} << (jutbits - 1);
            for (unsigned i = tablebits; i < len; ++i, bit >>= 1) {
                if (*link == 0) {
                    if (avail >= leftLink.size()) throw ELZHBadDecodeTable();
                    leftLink[avail] = 0;
                    rightLink[avail] = 0;
                    *link = static_cast<std::uint16_t>(avail++);
                } else if (*link < nchar) {
                    throw ELZHBadDecodeTable();  // a prefix of this code is already a symbol
                }
                link = (code & bit) ? &rightLink[*link] : &leftLink[*link];
            }
            *link = static_cast<std::uint16_t>(s);
        }
        start[len] = next;
    }
}

}  // namespace qvx::lh5
