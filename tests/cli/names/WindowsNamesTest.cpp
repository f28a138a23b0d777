// The names Windows cannot hold, and the case folding under which two names are one file.
#include <gtest/gtest.h>

#include "names/WindowsNames.h"

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
        {"\x1F"
         "x",
         "control character 0x1F in name"},
    };
    for (const auto& c : cases) EXPECT_EQ(WindowsComponentProblem(c.Component), c.Problem) << c.Component;
    EXPECT_EQ(WindowsNameProblem({"docs", "aux", "x.txt"}), "reserved device name 'aux'");
    EXPECT_EQ(WindowsNameProblem({"docs", "x.txt"}), "");
}

// Unicode's simple upper-case mappings, every script alike; one row per kind of pair.
TEST(WindowsNames, CaseFoldingKeys) {
    const struct {
        std::string A, B;
        bool Same;
    } cases[] = {
        {"Case.txt", "case.TXT", true},
        {"docs\\A.txt", "DOCS\\a.txt", true},
        {"\xC3\x9C"
         "ber",
         "\xC3\xBC"
         "ber",
         true},                          // Über, über
        {"\xC3\xBF", "\xC5\xB8", true},  // ÿ, Ÿ
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x82\xC3\x93"
         "D\xC5\xB9",
         true},                                                          // Łódź, łÓDŹ
        {"\xCF\x82", "\xCE\xA3", true},                                  // final sigma, Σ
        {"\xD0\x9C\xD0\x98\xD0\xA0", "\xD0\xBC\xD0\xB8\xD1\x80", true},  // МИР, мир
        {"\xC7\x86.txt", "\xC7\x84.txt", true},                          // ǆ, Ǆ
        {"\xC7\x85", "\xC7\x86", true},                                  // ǅ (title case), ǆ
        {"\xD5\xA1\xD6\x80", "\xD4\xB1\xD5\x90", true},                  // Armenian ար, ԱՐ
        {"\xEF\xBD\x81", "\xEF\xBC\xA1", true},                          // fullwidth ａ, Ａ
        {"\xE2\x85\xB0", "\xE2\x85\xA0", true},                          // Roman numerals ⅰ, Ⅰ
        {"\xE2\x93\x90", "\xE2\x92\xB6", true},                          // circled ⓐ, Ⓐ
        {"\xE1\x83\x90", "\xE1\xB2\x90", true},                          // Georgian ა, Ა (Mtavruli)
        {"\xEA\xAD\xB0", "\xE1\x8E\xA0", true},                          // Cherokee ꭰ, Ꭰ
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", true},                  // Deseret 𐐨, 𐐀 (beyond U+FFFF)
        {"\xC4\xB1", "I", true},                                         // dotless ı: Unicode maps it to I
        {"a.txt", "b.txt", false},
        {"\xC3\x97", "\xC3\xB7", false},  // × and ÷ are no pair
        {"\xC3\x9F", "ss", false},        // ß has no one-character upper case
        {"\xE2\x84\xAA", "k", false},     // the Kelvin sign is upper case already
        {"\xFF"
         "a",
         "\xFF"
         "A",
         true},  // not UTF-8: the rest still folds
        {"\xFF"
         "a",
         "\xFE"
         "a",
         false},
    };
    for (const auto& c : cases) EXPECT_EQ(CaseFoldKey(c.A) == CaseFoldKey(c.B), c.Same) << c.A << " / " << c.B;
}

TEST(WindowsNames, PathsLongerThanWindowsOpensAreRefused) {
    EXPECT_EQ(WindowsPathLengthProblem(100, std::string(32666, 'a')), "");  // 100 + 1 + 32666 = 32767
    EXPECT_EQ(WindowsPathLengthProblem(100, std::string(32667, 'a')),
              "path of 32768 characters, longer than Windows can open (32767)");
    // Counted in UTF-16: "é" is one character, a character beyond U+FFFF two.
    EXPECT_EQ(WindowsPathLengthProblem(0, std::string(16383, 'a') + "\xC3\xA9" + std::string(16382, 'b')), "");
    EXPECT_NE(WindowsPathLengthProblem(0, std::string(16383, 'a') + "\xF0\x90\x90\x80" + std::string(16382, 'b')), "");
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
