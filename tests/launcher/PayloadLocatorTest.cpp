#include <gtest/gtest.h>

#include <algorithm>

#include <instcompress/Exceptions.h>

#include "PayloadLocator.h"
#include "SizeMarker.h"
#include "TestFiles.h"

namespace qvx::launcher::test {
namespace {

class PayloadLocatorTest : public ::testing::Test {
protected:
    // A file of size bytes (filler 0x90) with the marker and offset field at position at.
    std::string FileWithMarker(std::size_t size, std::size_t at, std::uint32_t offset) {
        Bytes bytes(size, 0x90);
        const Bytes marker = MarkerBytes(offset);
        std::copy(marker.begin(), marker.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return Write(bytes);
    }
    std::string Write(const Bytes& bytes) {
        const std::string path = dir_ / ("f" + std::to_string(++files_));
        WriteFile(path, bytes);
        return path;
    }

    TempDir dir_;
    int files_ = 0;
};

TEST_F(PayloadLocatorTest, MarkerInTheFirstWindowGivesItsOffset) {
    EXPECT_EQ(PayloadLocator(FileWithMarker(5000, 1234, 4321)), 4321);
    EXPECT_EQ(PayloadLocator(FileWithMarker(12, 0, 11)), 11);
}

TEST_F(PayloadLocatorTest, MarkerStraddlingTwoWindowsIsFoundInTheSecond) {
    // Windows start at 0, 16376, 32752, ...: a marker that begins in the last 7 bytes of the first
    // window lies whole at the start of the second.
    for (std::size_t at : {16377u, 16380u, 16383u, 32755u}) {
        EXPECT_EQ(PayloadLocator(FileWithMarker(70000, at, 65000)), 65000) << "marker at " << at;
    }
    // The last position that still lies whole inside the first window.
    EXPECT_EQ(PayloadLocator(FileWithMarker(70000, 16376, 65001)), 65001);
}

TEST_F(PayloadLocatorTest, FieldIsReadFromTheFileAtTheMarkersOwnPosition) {
    // The field lies behind a marker found in the third window; a wrong window start would read
    // filler bytes instead of the offset.
    EXPECT_EQ(PayloadLocator(FileWithMarker(50000, 40000, 0x0000BEEF)), 0xBEEF);
}

TEST_F(PayloadLocatorTest, PlaceholderMeansNoPayload) {
    Bytes bytes(3000, 0);
    const Bytes marker = MarkerBytes(0x00000058u);  // first field byte "X"
    std::copy(marker.begin(), marker.end(), bytes.begin() + 10);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 0);
    // Only the first byte decides: "X" followed by anything.
    const std::uint8_t field[4] = {'X', 1, 2, 3};
    const Bytes placeholder = MarkerBytes(field);
    std::copy(placeholder.begin(), placeholder.end(), bytes.begin() + 10);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 0);
}

TEST_F(PayloadLocatorTest, TheLaunchersOwnMarkerIsAPlaceholder) {
    Bytes bytes(200, 0);
    for (std::size_t i = 0; i < kSizeMarkerLength; ++i) bytes[50 + i] = static_cast<std::uint8_t>(SizeMarker[i]);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 0);
}

TEST_F(PayloadLocatorTest, OffsetMustLieBelowTheFileSize) {
    EXPECT_EQ(PayloadLocator(FileWithMarker(1000, 10, 1000)), 0);
    EXPECT_EQ(PayloadLocator(FileWithMarker(1000, 10, 999)), 999);
    EXPECT_EQ(PayloadLocator(FileWithMarker(1000, 10, 0x00FFFFFF)), 0);
}

TEST_F(PayloadLocatorTest, OffsetOf2To31OrMoreComesBackNegative) {
    EXPECT_EQ(PayloadLocator(FileWithMarker(1000, 10, 0x80000000u)), INT32_MIN);
    EXPECT_EQ(PayloadLocator(FileWithMarker(1000, 10, 0xFFFFFFFFu)), -1);
}

TEST_F(PayloadLocatorTest, FilesOfEightBytesOrLessAreNotSearched) {
    const auto pattern = MarkerPattern();
    for (std::size_t size = 0; size <= 8; ++size) {
        Bytes bytes(pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(PayloadLocator(Write(bytes)), 0) << size;
    }
}

TEST_F(PayloadLocatorTest, OnlyTheFirstOccurrenceInAWindowIsExamined) {
    Bytes bytes(2000, 0x90);
    const std::uint8_t placeholder[4] = {'X', 'X', 'X', 'X'};
    const Bytes first = MarkerBytes(placeholder);
    const Bytes second = MarkerBytes(1500);
    std::copy(first.begin(), first.end(), bytes.begin() + 100);
    std::copy(second.begin(), second.end(), bytes.begin() + 300);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 0);

    const Bytes valid = MarkerBytes(1200);
    std::copy(valid.begin(), valid.end(), bytes.begin() + 100);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 1200);
}

TEST_F(PayloadLocatorTest, ZeroOffsetLetsTheScanGoOnWithTheNextWindow) {
    Bytes bytes(40000, 0x90);
    const Bytes zero = MarkerBytes(0u);
    const Bytes later = MarkerBytes(39001);  // 39000 would begin with "X"
    std::copy(zero.begin(), zero.end(), bytes.begin() + 100);
    std::copy(later.begin(), later.end(), bytes.begin() + 20000);
    EXPECT_EQ(PayloadLocator(Write(bytes)), 39001);
    // A zero field in the overlap is seen twice and still ends the scan.
    Bytes tail(16500, 0x90);
    std::copy(zero.begin(), zero.end(), tail.begin() + 16376);
    EXPECT_EQ(PayloadLocator(Write(tail)), 0);
}

TEST_F(PayloadLocatorTest, FieldCutShortByTheEndOfTheFileMeansNoPayload) {
    const auto pattern = MarkerPattern();
    Bytes bytes(100, 0);
    std::copy(pattern.begin(), pattern.end(), bytes.end() - 10);  // two field bytes follow
    bytes[bytes.size() - 2] = 5;
    EXPECT_EQ(PayloadLocator(Write(bytes)), 0);
}

TEST_F(PayloadLocatorTest, NoMarkerMeansNoPayload) { EXPECT_EQ(PayloadLocator(Write(Bytes(50000, 'Q'))), 0); }

TEST_F(PayloadLocatorTest, MissingFileRaisesTheOpenError) {
    const std::string path = dir_ / "absent";
    try {
        PayloadLocator(path);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + path);
    }
}

}  // namespace
}  // namespace qvx::launcher::test
