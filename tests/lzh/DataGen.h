// Generated test data for the LZH tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qvx::lzhtest {

// Text-like data: words from a small vocabulary with punctuation and line breaks.
inline std::vector<std::uint8_t> TextLike(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {
        "the",    "archive", "entry", "window", "match", "offset", "length", "symbol", "tree",    "weight", "installer",
        "engine", "stream",  "of",    "and",    "a",     "to",     "in",     "is",     "Quorvex", "setup",  "data"};
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    out.reserve(size);
    while (out.size() < size) {
        const std::string w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        out.insert(out.end(), w.begin(), w.end());
        const unsigned k = rng() % 16;
        out.push_back(k == 0 ? '\n' : k == 1 ? ',' : k == 2 ? '.' : ' ');
    }
    out.resize(size);
    return out;
}

inline std::vector<std::uint8_t> Noise(std::size_t size, std::uint32_t seed, unsigned alphabet = 256) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng() % alphabet);
    return out;
}

// Binary-looking data: little-endian records with slowly changing fields, some zero padding.
inline std::vector<std::uint8_t> BinaryLike(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    auto counter = static_cast<std::uint32_t>(rng());
    while (out.size() < size) {
        counter += static_cast<std::uint32_t>(rng() % 5);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(counter >> (8 * i)));
        out.push_back(static_cast<std::uint8_t>(rng() % 3));
        if (rng() % 8 == 0) out.insert(out.end(), rng() % 40, 0);
    }
    out.resize(size);
    return out;
}

}  // namespace qvx::lzhtest
