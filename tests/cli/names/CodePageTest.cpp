// Names between UTF-8 and the code pages of the archive: exact conversions both ways, refusals of
// what a code page cannot hold, and the display of bytes it does not define.
#include <gtest/gtest.h>

#include "names/CodePage.h"

namespace qvx::cli {
namespace {

CodePage Cp(const char* text) {
    const auto cp = CodePage::Parse(text);
    EXPECT_TRUE(cp.has_value()) << text;
    return cp.value_or(CodePage::Default());
}

TEST(CodePage, ParsesTheNamesOfTheCodePages) {
    const struct {
        const char* Text;
        unsigned Number;
    } accepted[] = {
        {"1252", 1252}, {"cp1252", 1252}, {"Windows-1250", 1250},     {"CP437", 437},           {"866", 866},
        {"932", 932},   {"950", 950},     {"utf-8", CodePage::kUtf8}, {"UTF8", CodePage::kUtf8}};
    for (const auto& a : accepted) EXPECT_EQ(Cp(a.Text).Number(), a.Number) << a.Text;
    for (const char* refused : {"", "1249", "1259", "65001x", "cp", "windows-", "latin1", "12522", "-1252", "utf-16"})
        EXPECT_FALSE(CodePage::Parse(refused).has_value()) << refused;
    EXPECT_EQ(Cp("cp1252").Name(), "1252");
    EXPECT_EQ(CodePage::Utf8().Name(), "utf-8");
    EXPECT_EQ(CannotStoreMessage(Cp("1251")), "name cannot be stored in code page 1251");
}

// UTF-8 to the code page: the exact bytes, or a refusal; every accepted name reads back.
TEST(CodePage, EncodesExactlyOrRefuses) {
    const struct {
        const char* CodePage;
        std::string Utf8;
        std::optional<std::string> Bytes;
    } cases[] = {
        {"1252", "readme.txt", "readme.txt"},
        {"1252",
         "\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9.txt",
         "\xDCn\xEF"
         "c\xF6"
         "d\xE9.txt"},                                           // Ünïcödé.txt
        {"1252", "\xE2\x82\xAC", "\x80"},                        // €
        {"1252", "\xE6\x97\xA5\xE6\x9C\xAC.txt", std::nullopt},  // 日本.txt
        {"1252",
         "\xC5\x81"
         "\xC3\xB3"
         "d\xC5\xBA",
         std::nullopt},                      // Łódź: no best-fit "Lodz"
        {"1252", "\xC2\x81", std::nullopt},  // a C1 control
        {"1252", "bad\xFF", std::nullopt},   // not UTF-8
        {"1250",
         "\xC5\x81"
         "\xC3\xB3"
         "d\xC5\xBA",
         "\xA3\xF3"
         "d\x9F"},
        {"1251", "\xD0\x9C\xD0\xB8\xD1\x80", "\xCC\xE8\xF0"},  // Мир
        {"866", "\xD0\x9C\xD0\xB8\xD1\x80", "\x8C\xA8\xE0"},
        {"437", "\xC3\xA9", "\x82"},
        {"932", "\xE6\x97\xA5\xE6\x9C\xAC.txt", "\x93\xFA\x96\x7B.txt"},
        {"932", "\xE8\xA1\xA8", "\x95\x5C"},  // a trail byte 0x5C, not a separator
        {"936", "\xE4\xB8\xAD", "\xD6\xD0"},  // 中
        {"949", "\xED\x95\x9C", "\xC7\xD1"},  // 한
        {"950", "\xE4\xB8\xAD", "\xA4\xA4"},
        {"1253", "\xCE\xA9", "\xD9"},  // Ω
        {"utf-8", "\xE6\x97\xA5.txt", "\xE6\x97\xA5.txt"},
        {"utf-8", "\xED\xA0\x80", std::nullopt},  // a surrogate
        {"utf-8", "\xC0\xAF", std::nullopt},      // overlong
    };
    for (const auto& c : cases) {
        const CodePage cp = Cp(c.CodePage);
        EXPECT_EQ(cp.Encode(c.Utf8), c.Bytes) << c.CodePage << " " << c.Utf8;
        if (c.Bytes) {
            EXPECT_EQ(cp.Decode(*c.Bytes), c.Utf8) << c.CodePage << " " << c.Utf8;
        }
    }
}

// The code page to UTF-8: strictly, and for display with undefined bytes in hex.
TEST(CodePage, DecodesAndShowsUndefinedBytesInHex) {
    const struct {
        const char* CodePage;
        std::string Bytes;
        std::optional<std::string> Strict;
        std::string Shown;
    } cases[] = {
        {"1252", "caf\xE9", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"1252",
         "a\x81"
         "b\x9D",
         std::nullopt, "a\\x81b\\x9d"},
        {"1251", "\x98", std::nullopt, "\\x98"},
        {"932", "\x93\xFA", "\xE6\x97\xA5", "\xE6\x97\xA5"},
        {"932", "\x93 ", std::nullopt, "\\x93 "},  // a lead byte without its trail byte
        {"932", "x\x93", std::nullopt, "x\\x93"},  // cut short
        {"utf-8", "\xE6\x97\xA5", "\xE6\x97\xA5", "\xE6\x97\xA5"},
        {"utf-8", "ok\xFF\xE6\x97", std::nullopt, "ok\\xff\\xe6\\x97"},
        {"1252", "", "", ""},
    };
    for (const auto& c : cases) {
        const CodePage cp = Cp(c.CodePage);
        EXPECT_EQ(cp.Decode(c.Bytes), c.Strict) << c.CodePage << " " << c.Shown;
        EXPECT_EQ(cp.DecodeForDisplay(c.Bytes), c.Shown) << c.CodePage;
    }
}

}  // namespace
}  // namespace qvx::cli
