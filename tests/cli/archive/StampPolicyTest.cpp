// Stored times: DOS stamps in UTC, the --mtime argument and the clamp of reproducible builds.
#include <gtest/gtest.h>

#include <instcompress/DosDateTime.h>

#include "platform/FileError.h"
#include "archive/StampPolicy.h"

namespace qvx::cli {
namespace {

constexpr std::uint16_t Date(int y, int m, int d) {
    return static_cast<std::uint16_t>(((y - 1980) << 9) | (m << 5) | d);
}
constexpr std::uint16_t Time(int h, int m, int s) { return static_cast<std::uint16_t>((h << 11) | (m << 5) | (s / 2)); }

TEST(DosStampUtc, FieldsAreUtcBothWays) {
    const struct {
        std::time_t T;
        std::uint16_t Date, Time;
    } cases[] = {
        {315532800, Date(1980, 1, 1), Time(0, 0, 0)},
        {951782400 + 3661, Date(2000, 2, 29), Time(1, 1, 0)},  // odd second rounded down
        {1700000000, Date(2023, 11, 14), Time(22, 13, 20)},
        {4354819198, Date(2107, 12, 31), Time(23, 59, 58)},
    };
    for (const auto& c : cases) {
        const DosStamp s = ToDosStampUtc(c.T);
        EXPECT_EQ(s.Date, c.Date) << c.T;
        EXPECT_EQ(s.Time, c.Time) << c.T;
        EXPECT_EQ(FromDosStampUtc(s), c.T - c.T % 2) << c.T;
    }
    // Out of range: clamped like the local variant.
    EXPECT_EQ(ToDosStampUtc(0).Date, Date(1980, 1, 1));
    EXPECT_EQ(ToDosStampUtc(4354819200).Date, Date(2107, 12, 31));
    // Fields out of range are normalised: month 13 is January of the next year, day 0 the day before.
    EXPECT_EQ(FromDosStampUtc(DosStamp{0, Date(2023, 13, 1)}), FromDosStampUtc(DosStamp{0, Date(2024, 1, 1)}));
    EXPECT_EQ(FromDosStampUtc(DosStamp{0, Date(2024, 3, 0)}), FromDosStampUtc(DosStamp{0, Date(2024, 2, 29)}));
}

TEST(StampPolicy, ParsesTimeArguments) {
    const struct {
        const char* Text;
        std::optional<std::time_t> T;
    } cases[] = {
        {"@0", 0},
        {"@1700000000", 1700000000},
        {"2023-11-14T22:13:20", 1700000000},
        {"2023-11-14 22:13:20", 1700000000},
        {"2023-11-14T22:13", 1700000000 - 20},
        {"2024-02-29", 1709164800},
        {"1969-12-31T23:59:59", -1},
        {"2023-02-29", std::nullopt},
        {"2023-13-01", std::nullopt},
        {"2023-11-14T24:00", std::nullopt},
        {"2023-11-14T22", std::nullopt},
        {"2023-11-14T22:13:20Z", std::nullopt},
        {"@", std::nullopt},
        {"@12x", std::nullopt},
        {"1700000000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTimeArgument(c.Text), c.T) << c.Text;
}

TEST(StampPolicy, ClampStoresUtcAndWinsOverLocal) {
    const StampPolicy clamped = MakeStampPolicy(false, "", "1700000000");
    EXPECT_EQ(clamped.Clamp, std::time_t{1700000000});
    const DosStamp newer = clamped.StampFor(1800000000);
    EXPECT_EQ(newer.Date, Date(2023, 11, 14));
    EXPECT_EQ(newer.Time, Time(22, 13, 20));
    EXPECT_EQ(clamped.StampFor(1600000000).Date, ToDosStampUtc(1600000000).Date);
    EXPECT_EQ(MakeStampPolicy(false, "@5", "1700000000").Clamp, std::time_t{5});  // --mtime wins
    EXPECT_FALSE(MakeStampPolicy(true, "", "").Clamp.has_value());
    EXPECT_THROW(MakeStampPolicy(false, "yesterday", nullptr), platform::FileError);
    EXPECT_THROW(MakeStampPolicy(false, "", "17e8"), platform::FileError);
    EXPECT_THROW(MakeStampPolicy(false, "", "-5"), platform::FileError);
}

}  // namespace
}  // namespace qvx::cli
