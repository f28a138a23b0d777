// ReadAhead reads and seeks exactly as the stream below it would: the same sequence of reads of
// every size (small, across the buffer's end, larger than the buffer) and seeks from each origin,
// inside and outside the buffered bytes, run on both and compared.
#include <gtest/gtest.h>

#include <instcompress/MemoryStream.h>

#include "archive/ReadAhead.h"

namespace qvx::cli {
namespace {

TEST(ReadAhead, ReadsAndSeeksAsTheStreamBelow) {
    std::vector<std::uint8_t> data(300000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    TMemoryStream direct(data);
    TMemoryStream below(data);
    ReadAhead buffered(below);
    std::uint32_t x = 1;
    for (int step = 0; step < 2000; ++step) {
        x = x * 1664525u + 1013904223u;
        const std::int64_t a = static_cast<std::int64_t>(x >> 8);
        switch ((x >> 4) % 6) {
            case 0:
                ASSERT_EQ(buffered.Seek(a % 310000, SeekOrigin::Begin), direct.Seek(a % 310000, SeekOrigin::Begin));
                break;
            case 1:
                ASSERT_EQ(buffered.Seek(a % 2000 - 1000, SeekOrigin::Current),
                          direct.Seek(a % 2000 - 1000, SeekOrigin::Current))
                    << step;
                break;
            case 2:
                ASSERT_EQ(buffered.Seek(-(a % 5000), SeekOrigin::End), direct.Seek(-(a % 5000), SeekOrigin::End));
                break;
            default: {
                const std::int32_t count = static_cast<std::int32_t>(x % 7 == 0 ? a % 150000 : a % 100);
                std::vector<std::uint8_t> got(static_cast<std::size_t>(count)), want(static_cast<std::size_t>(count));
                ASSERT_EQ(buffered.Read(got.data(), count), direct.Read(want.data(), count)) << step;
                ASSERT_EQ(got, want) << step;
            }
        }
        ASSERT_EQ(buffered.Position(), direct.Position()) << step;
    }
    EXPECT_EQ(buffered.Size(), direct.Size());
    EXPECT_EQ(buffered.Write("x", 1), 0);
}

}  // namespace
}  // namespace qvx::cli
