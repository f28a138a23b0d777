// Test-only LH5 stream builder: a bit writer and a simple block writer that produce streams in the
// LH5 block format (for decoder tests and the expansion benchmark). It is deliberately plain: the
// code lengths are given by the caller or come from a straightforward Huffman construction.
#pragma once

#include <algorithm>
#include <cstdint>
#include <queue>
#include <stdexcept>
#include <vector>

namespace qvx::lh5test {

// Writes fields most significant bit first into bytes filled from bit 7 down.
class BitWriter {
public:
    void WriteBits(unsigned count, std::uint32_t value) {
        for (unsigned i = count; i > 0; --i) WriteBit((value >> (i - 1)) & 1u);
    }
    void WriteBit(unsigned bit) {
        if (used_ == 0) bytes_.push_back(0);
        if (bit) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> used_));
        used_ = (used_ + 1) & 7u;
        ++bitCount_;
    }
    std::size_t BitCount() const noexcept { return bitCount_; }
    // The bytes written so far; the last byte's unused low bits are 0.
    const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    unsigned used_ = 0;
    std::size_t bitCount_ = 0;
};

// Canonical codes for a length list: shorter codes first, ascending symbols within a length.
// codes[s] holds the lengths[s] low bits.
inline std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    std::uint32_t code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == len) codes[s] = code++;
        }
        code <<= 1;
    }
    return codes;
}

// A complete code over n symbols with lengths b and b + 1 only.
inline std::vector<std::uint8_t> FlatLengths(unsigned n) {
    unsigned b = 0;
    while ((1u << (b + 1)) <= n) ++b;
    const unsigned longer = 2 * (n - (1u << b));  // symbols of length b + 1
    std::vector<std::uint8_t> lengths(n, static_cast<std::uint8_t>(b));
    for (unsigned s = n - longer; s < n; ++s) lengths[s] = static_cast<std::uint8_t>(b + 1);
    return lengths;
}

// Huffman code lengths for the frequencies (every symbol counted at least once); a flat code when
// the tree gets deeper than maxLength.
inline std::vector<std::uint8_t> HuffmanLengths(std::vector<std::uint32_t> freq, unsigned maxLength = 16) {
    const std::size_t n = freq.size();
    struct Node {
        std::uint64_t weight;
        int left, right;
    };
    std::vector<Node> nodes;
    using Entry = std::pair<std::uint64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (std::size_t s = 0; s < n; ++s) {
        nodes.push_back({std::max<std::uint32_t>(freq[s], 1), -1, -1});
        queue.push({nodes.back().weight, static_cast<int>(s)});
    }
    while (queue.size() > 1) {
        const auto a = queue.top();
        queue.pop();
        const auto b = queue.top();
        queue.pop();
        nodes.push_back({a.first + b.first, a.second, b.second});
        queue.push({nodes.back().weight, static_cast<int>(nodes.size() - 1)});
    }
    std::vector<std::uint8_t> lengths(n, 0);
    std::vector<std::pair<int, unsigned>> stack{{queue.top().second, 0u}};
    bool tooDeep = false;
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        if (nodes[static_cast<std::size_t>(node)].left < 0) {
            if (depth > maxLength) tooDeep = true;
            lengths[static_cast<std::size_t>(node)] = static_cast<std::uint8_t>(depth);
        } else {
            stack.push_back({nodes[static_cast<std::size_t>(node)].left, depth + 1});
            stack.push_back({nodes[static_cast<std::size_t>(node)].right, depth + 1});
        }
    }
    if (tooDeep) return FlatLengths(static_cast<unsigned>(n));
    return lengths;
}

// One item of an LZSS parse: a literal byte, or a match of length 3..256 at distance 1..8192.
struct Item {
    unsigned length = 0;  // 0 for a literal
    unsigned value = 0;   // literal byte, or distance
    static Item Literal(unsigned b) { return {0, b}; }
    static Item Match(unsigned length, unsigned distance) { return {length, distance}; }
};

inline unsigned BitLength(unsigned v) {
    unsigned k = 0;
    while (v >> k) ++k;
    return k;
}

// Writes LH5 blocks: block headers with explicit codes, and the symbols coded with them.
class StreamWriter {
public:
    BitWriter Bits;

    // The code-length code used to send literal lengths: complete, 4 and 5 bits.
    std::vector<std::uint8_t> CodeLengthLengths = FlatLengths(19);

    // Writes a small code's lengths (count, each length in the 3-bit form or 111 1..1 0, and for
    // the code-length code the 2-bit skip field after the third length, always 0 here).
    void WriteSmallLengths(const std::vector<std::uint8_t>& lengths, unsigned nbit, unsigned special) {
        std::size_t n = lengths.size();
        while (n > 0 && lengths[n - 1] == 0) --n;
        Bits.WriteBits(nbit, static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n;) {
            const unsigned k = lengths[i++];
            if (k < 7) {
                Bits.WriteBits(3, k);
            } else {
                Bits.WriteBits(3, 7);
                for (unsigned m = 7; m < k; ++m) Bits.WriteBit(1);
                Bits.WriteBit(0);
            }
            if (i == special) Bits.WriteBits(2, 0);
        }
    }

    void WriteCodeLengthSymbol(unsigned t) { Bits.WriteBits(CodeLengthLengths[t], codeLengthCodes_[t]); }

    // Literal lengths sent with the code-length code, zero runs as symbols 0, 1 and 2.
    void WriteLiteralLengths(const std::vector<std::uint8_t>& lengths) {
        std::size_t n = lengths.size();
        while (n > 0 && lengths[n - 1] == 0) --n;
        Bits.WriteBits(9, static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n;) {
            if (lengths[i] != 0) {
                WriteCodeLengthSymbol(lengths[i++] + 2u);
                continue;
            }
            std::size_t run = 0;
            while (i < n && lengths[i] == 0) {
                ++run;
                ++i;
            }
            while (run > 0) {
                if (run >= 20) {
                    const std::size_t take = std::min<std::size_t>(run, 531);
                    WriteCodeLengthSymbol(2);
                    Bits.WriteBits(9, static_cast<std::uint32_t>(take - 20));
                    run -= take;
                } else if (run >= 3) {
                    const std::size_t take = std::min<std::size_t>(run, 18);
                    WriteCodeLengthSymbol(1);
                    Bits.WriteBits(4, static_cast<std::uint32_t>(take - 3));
                    run -= take;
                } else {
                    WriteCodeLengthSymbol(0);
                    --run;
                }
            }
        }
    }

    // A block header with a real code for each of the three codes.
    void WriteHeader(unsigned blockSize, const std::vector<std::uint8_t>& literalLengths,
                     const std::vector<std::uint8_t>& positionLengths) {
        Bits.WriteBits(16, blockSize & 0xFFFFu);
        codeLengthCodes_ = CanonicalCodes(CodeLengthLengths);
        WriteSmallLengths(CodeLengthLengths, 5, 3);
        WriteLiteralLengths(literalLengths);
        WriteSmallLengths(positionLengths, 4, 0);
        literalLengths_ = literalLengths;
        literalCodes_ = CanonicalCodes(literalLengths);
        positionLengths_ = positionLengths;
        positionCodes_ = CanonicalCodes(positionLengths);
    }

    void WriteSymbol(unsigned c) {
        if (literalLengths_.at(c) == 0) throw std::logic_error("symbol without a code");
        Bits.WriteBits(literalLengths_[c], literalCodes_[c]);
    }
    // Distance 1..8192.
    void WritePosition(unsigned distance) {
        const unsigned p = distance - 1;
        const unsigned k = BitLength(p);
        if (positionLengths_.at(k) == 0) throw std::logic_error("position without a code");
        Bits.WriteBits(positionLengths_[k], positionCodes_[k]);
        if (k > 1) Bits.WriteBits(k - 1, p & ((1u << (k - 1)) - 1));
    }
    void WriteItem(const Item& item) {
        if (item.length == 0) {
            WriteSymbol(item.value);
        } else {
            WriteSymbol(item.length + 253);
            WritePosition(item.value);
        }
    }

    // Writes items as blocks of at most blockItems items, with Huffman codes from each block's
    // frequencies (every symbol present), or flat codes when flat is set.
    void WriteBlocks(const std::vector<Item>& items, std::size_t blockItems = 16000, bool flat = false) {
        for (std::size_t first = 0; first < items.size(); first += blockItems) {
            const std::size_t last = std::min(items.size(), first + blockItems);
            std::vector<std::uint32_t> litFreq(510, 0), posFreq(14, 0);
            for (std::size_t i = first; i < last; ++i) {
                const Item& it = items[i];
                if (it.length == 0) {
                    ++litFreq[it.value];
                } else {
                    ++litFreq[it.length + 253];
                    ++posFreq[BitLength(it.value - 1)];
                }
            }
            WriteHeader(static_cast<unsigned>(last - first), flat ? FlatLengths(510) : HuffmanLengths(litFreq),
                        flat ? FlatLengths(14) : HuffmanLengths(posFreq));
            for (std::size_t i = first; i < last; ++i) WriteItem(items[i]);
        }
    }

private:
    std::vector<std::uint32_t> codeLengthCodes_;
    std::vector<std::uint8_t> literalLengths_, positionLengths_;
    std::vector<std::uint32_t> literalCodes_, positionCodes_;
};

// A greedy LZSS parse (window 8192, matches 3..256) that stays simple rather than good: the
// candidate is the last position with the same three bytes.
inline std::vector<Item> Parse(const std::vector<std::uint8_t>& data) {
    std::vector<Item> items;
    std::vector<std::int64_t> last(1u << 16, -1);
    auto hash = [&](std::size_t i) { return ((data[i] << 8) ^ (data[i + 1] << 4) ^ data[i + 2]) & 0xFFFFu; };
    std::size_t i = 0;
    while (i < data.size()) {
        unsigned best = 0;
        std::size_t bestDistance = 0;
        if (i + 3 <= data.size()) {
            const std::int64_t cand = last[hash(i)];
            if (cand >= 0 && i - static_cast<std::size_t>(cand) <= 8192) {
                const auto c = static_cast<std::size_t>(cand);
                unsigned len = 0;
                while (len < 256 && i + len < data.size() && data[c + len] == data[i + len]) ++len;
                if (len >= 3) {
                    best = len;
                    bestDistance = i - c;
                }
            }
            last[hash(i)] = static_cast<std::int64_t>(i);
        }
        if (best >= 3) {
            items.push_back(Item::Match(best, static_cast<unsigned>(bestDistance)));
            for (std::size_t k = 1; k < best; ++k) {
                if (i + k + 3 <= data.size()) last[hash(i + k)] = static_cast<std::int64_t>(i + k);
            }
            i += best;
        } else {
            items.push_back(Item::Literal(data[i]));
            ++i;
        }
    }
    return items;
}

// An LH5 stream for data.
inline std::vector<std::uint8_t> EncodeLh5(const std::vector<std::uint8_t>& data, std::size_t blockItems = 16000,
                                           bool flat = false) {
    StreamWriter w;
    w.WriteBlocks(Parse(data), blockItems, flat);
    return w.Bits.Bytes();
}

}  // namespace qvx::lh5test
