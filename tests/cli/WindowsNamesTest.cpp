// The names Windows cannot hold, and the case folding under which two names are one file.
#include <gtest/gtest.h>

#include "WindowsNames.h"

namespace qvx::cli {
namespace {

TEST(WindowsNames, RefusesWhatWindowsCannotHold) {
    const struct {
        const char* Component;
        const char* Problem;  // "" when Windows holds the name
    } cases[] = {
        {"readme.txt", ""},
        {"CONSOLE.txt", ""},
        {"COM0", ""},
        {"LPT10", ""},
        {"nul_device", ""},
        {".hidden", ""},
        {"CON", "reserved device name 'CON'"},
        {"con.txt", "reserved device name 'con'"},
        {"Aux.tar.gz", "reserved device name 'Aux'"},
        {"NUL  .txt", "reserved device name 'NUL'"},
        {"com1", "reserved device name 'com1'"},
        {"LPT9.log", "reserved device name 'LPT9'"},
        {"COM\xC2\xB9", "reserved device name 'COM\xC2\xB9'"},
        {"prn", "reserved device name 'prn'"},
        {"name.", "name ends in a dot"},
        {"name ", "name ends in a space"},
        {"a:b", "character ':' in name"},
        {"a<b", "character '<' in name"},
        {"a>b", "character '>' in name"},
        {"say\"hi\"", "character '\"' in name"},
        {"a|b", "character '|' in name"},
        {"what?", "character '?' in name"},
        {"*.txt", "character '*' in name"},
        {"tab\there", "control character 0x09 in name"},
        {"\x01", "control character 0x01 in name"},
        {"\x1F" "x", "control character 0x1F in name"},
    };
    for (const auto& c : cases) EXPECT_EQ(WindowsComponentProblem(c.Component), c.Problem) << c.Component;
    EXPECT_EQ(WindowsNameProblem({"docs", "aux", "x.txt"}), "reserved device name 'aux'");
    EXPECT_EQ(WindowsNameProblem({"docs", "x.txt"}), "");
}

TEST(WindowsNames, CaseFoldingKeys) {
    const struct {
        std::string A, B;
        bool Same;
    } cases[] = {
        {"Case.txt", "case.TXT", true},
        {"docs\\A.txt", "DOCS\\a.txt", true},
        {"\xC3\x9C" "ber", "\xC3\xBC" "ber", true},          // Über, über
        {"\xC3\xBF", "\xC5\xB8", true},                      // ÿ, Ÿ
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xC5\x82\xC3\x93" "D\xC5\xB9", true},  // Łódź, łÓDŹ
        {"\xC4\xB9", "\xC4\xBA", true},                      // Ĺ, ĺ (odd pairs)
        {"\xCE\xA3\xCE\x91", "\xCF\x83\xCE\xB1", true},      // ΣΑ, σα
        {"\xCF\x82", "\xCE\xA3", true},                      // final sigma
        {"\xCE\x86", "\xCE\xAC", true},                      // Ά, ά
        {"\xD0\x9C\xD0\x98\xD0\xA0", "\xD0\xBC\xD0\xB8\xD1\x80", true},  // МИР, мир
        {"\xD0\x81", "\xD1\x91", true},                      // Ё, ё
        {"\xD2\x90", "\xD2\x91", true},                      // Ґ, ґ
        {"a.txt", "b.txt", false},
        {"\xC3\x97", "\xC3\xB7", false},                     // × and ÷ are no pair
        {"\xC4\xB1", "I", false},                            // dotless i stays apart
        {"\xC3\x9F", "ss", false},
        {"\xFF" "a", "\xFF" "A", true},                      // not UTF-8: the ASCII letters fold
        {"\xFF" "a", "\xFE" "a", false},
    };
    for (const auto& c : cases) EXPECT_EQ(CaseFoldKey(c.A) == CaseFoldKey(c.B), c.Same) << c.A << " / " << c.B;
}

TEST(WindowsNames, CollisionsNameTheEarlierName) {
    NameCollisions names;
    std::string earlier;
    EXPECT_TRUE(names.Take("Case.txt", &earlier));
    EXPECT_TRUE(names.Take("other.txt", &earlier));
    EXPECT_FALSE(names.Take("CASE.txt", &earlier));
    EXPECT_EQ(earlier, "Case.txt");
    EXPECT_FALSE(names.Take("Case.txt", &earlier));
}

}  // namespace
}  // namespace qvx::cli
