// The spool of an input read forward: everything from the input's position to its end lands in an
// anonymous temporary file, which comes back at position 0; regular files are read in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <instcompress/MemoryStream.h>

#include "CliTestSupport.h"
#include "platform/FileStreams.h"

namespace qvx::cli::test {
namespace {

using FileStreamsTest = CliTest;

TEST_F(FileStreamsTest, SpoolHoldsTheRestOfTheInputFromPositionZero) {
    struct Case {
        std::size_t Size;
        std::int64_t ReadBefore;
    };
    // Empty, one short piece, exactly one copy piece, several pieces with a tail, a partly read input.
    const std::vector<Case> cases = {
        {0, 0}, {5, 0}, {TStream::kCopyPieceSize, 0}, {3 * TStream::kCopyPieceSize + 17, 0}, {100000, 40000}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> data(c.Size);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        TMemoryStream in(data);
        in.SetPosition(c.ReadBefore);
        const auto spool = SpoolToTemporaryFile(in, "qvx-test");
        EXPECT_EQ(spool->Position(), 0) << c.Size;
        ASSERT_EQ(spool->Size(), static_cast<std::int64_t>(c.Size) - c.ReadBefore) << c.Size;
        std::vector<std::uint8_t> back(static_cast<std::size_t>(spool->Size()));
        spool->ReadBuffer(back.data(), static_cast<std::int32_t>(back.size()));
        EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + c.ReadBefore)) << c.Size;
        EXPECT_EQ(in.Position(), static_cast<std::int64_t>(c.Size)) << "the input is read to its end";
    }
}

TEST_F(FileStreamsTest, ARegularFileIsReadInPlaceAndNamedByItsPath) {
    Write("in.bin", "abc");
    const std::string path = Path("in.bin").string();
    const auto file = OpenInputFile(path);
    EXPECT_TRUE(ReadsInPlace(*file, path));
    EXPECT_EQ(file->Size(), 3);
}

}  // namespace
}  // namespace qvx::cli::test
