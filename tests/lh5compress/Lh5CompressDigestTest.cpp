// Fixed digests of larger compressed outputs: any change to the parse, the codes or the bit layout
// shows up here, also when the output still decodes.
#include <gtest/gtest.h>

#include <string>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

std::uint64_t Fnv1a(const Bytes& b) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t v : b) h = (h ^ v) * 1099511628211ull;
    return h;
}

Bytes Mixed() {
    Bytes out;
    std::uint32_t x = 7;
    for (int i = 0; i < 60000; ++i) {
        x = x * 1664525u + 1013904223u;
        const std::string word = std::to_string((x >> 22) % 300) + ((x >> 8) % 5 == 0 ? "\n" : " ");
        out.insert(out.end(), word.begin(), word.end());
        if ((x & 0xFFF) == 0) out.insert(out.end(), 700 + (x >> 20) % 300, static_cast<std::uint8_t>(x >> 12));
    }
    const Bytes noise = RandomBytes(20000, 5);
    out.insert(out.end(), noise.begin(), noise.end());
    out.insert(out.end(), noise.begin() + 3, noise.begin() + 9000);  // a copy 20000 bytes back
    out.insert(out.end(), out.end() - 8190, out.end() - 4000);       // a copy at the window's edge
    return out;
}

TEST(Lh5CompressDigest, MixedInput) {
    const Bytes in = Mixed();
    const Bytes out = Compress(in);
    EXPECT_EQ(in.size(), 260050u);
    EXPECT_EQ(out.size(), 120148u);
    EXPECT_EQ(Fnv1a(out), 16708629918212937171ull);
}

}  // namespace
}  // namespace qvx::lh5test
