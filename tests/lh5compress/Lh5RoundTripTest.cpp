// LH5 round trips: whatever the encoder writes, the decoder restores, with matching checksums.
#include <gtest/gtest.h>

#include <string>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

void ExpectRoundTrip(const Bytes& input, const std::string& what) {
    std::uint32_t packedSum = 0;
    const Bytes packed = Compress(input, &packedSum);
    if (input.empty()) {
        EXPECT_TRUE(packed.empty()) << what;
        return;
    }
    std::uint32_t unpackedSum = 0;
    const Bytes back = Expand(packed, static_cast<std::int32_t>(input.size()), &unpackedSum);
    ASSERT_EQ(back.size(), input.size()) << what;
    EXPECT_TRUE(back == input) << what;
    EXPECT_EQ(packedSum, unpackedSum) << what;
}

Bytes Text(std::size_t n, std::uint32_t seed) {
    static const char* const words[] = {"install ", "the ",     "engine ", "from ", "archive ", "entry ",
                                        "window ",  "Quorvex ", "setup ",  "\r\n",  ", ",       "data "};
    Bytes out;
    std::uint32_t x = seed | 1;
    while (out.size() < n) {
        x = x * 1664525u + 1013904223u;
        for (const char* p = words[(x >> 20) % 12]; *p != 0 && out.size() < n; ++p)
            out.push_back(static_cast<std::uint8_t>(*p));
    }
    return out;
}

TEST(Lh5RoundTrip, SmallSizes) {
    for (std::size_t n = 0; n <= 300; ++n) {
        ExpectRoundTrip(Text(n, static_cast<std::uint32_t>(n)), "text " + std::to_string(n));
        ExpectRoundTrip(RandomBytes(n, static_cast<std::uint32_t>(n)), "random " + std::to_string(n));
        ExpectRoundTrip(Bytes(n, static_cast<std::uint8_t>(n)), "run " + std::to_string(n));
    }
}

TEST(Lh5RoundTrip, SizesAroundTheSlides) {
    for (std::size_t base : {7936u, 8192u, 16128u}) {
        for (std::size_t n = base - 3; n <= base + 3; ++n) {
            ExpectRoundTrip(Text(n, 5), "text " + std::to_string(n));
            ExpectRoundTrip(RandomBytes(n, 6), "random " + std::to_string(n));
            Bytes binary(n);
            for (std::size_t i = 0; i < n; ++i) binary[i] = static_cast<std::uint8_t>(i % 61 < 30 ? i % 7 : i >> 4);
            ExpectRoundTrip(binary, "binary " + std::to_string(n));
        }
    }
}

TEST(Lh5RoundTrip, SeveralMegabytes) {
    Bytes mixed;
    const Bytes text = Text(1'500'000, 42);
    mixed.insert(mixed.end(), text.begin(), text.end());
    mixed.insert(mixed.end(), 200'000, 0);
    const Bytes noise = RandomBytes(300'000, 77);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    for (int i = 0; i < 1'000'000; ++i) mixed.push_back(static_cast<std::uint8_t>((i % 3000) < 1500 ? i & 0xFF : 'q'));
    ExpectRoundTrip(mixed, "mixed");
    ExpectRoundTrip(Bytes(3'000'000, 0), "zeros");
}

TEST(Lh5RoundTrip, CancelledCompressionDecodesToThePrefix) {
    const Bytes input = Text(30000, 9);
    int calls = 0;
    const Bytes packed = Compress(input, nullptr, [&](std::int32_t& p) {
        if (++calls == 2) p = -1;
    });
    EXPECT_EQ(Expand(packed, 8192), Bytes(input.begin(), input.begin() + 8192));
}

}  // namespace
}  // namespace qvx::lh5test
