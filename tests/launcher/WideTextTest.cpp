#include <gtest/gtest.h>

#include "WideText.h"

namespace qvx::launcher::test {
namespace {

// Every UTF-16 name converts to its WTF-8 form and back to exactly itself.
TEST(WideTextTest, NamesRoundTripExactly) {
    const std::vector<std::pair<std::u16string, std::string>> cases = {
        {u"", ""},
        {u"C:\\s\\Setup.exe", "C:\\s\\Setup.exe"},
        {u"\u00e9", "\xC3\xA9"},
        {u"C:\\s\\\u03a9mega dir\\s.exe", "C:\\s\\\xCE\xA9mega dir\\s.exe"},
        {u"\u65e5\u672c", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {u"\u07ff\u0800\uffff", "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        {std::u16string(1, char16_t(0xD800)), "\xED\xA0\x80"},                             // a lead surrogate alone
        {std::u16string(1, char16_t(0xDFFF)), "\xED\xBF\xBF"},                             // a trail surrogate alone
        {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xED\xB0\x80\xED\xA0\x80"},  // reversed pair
        {std::u16string{u'a', char16_t(0xD83D), u'b'},
         "a\xED\xA0\xBD"
         "b"},
    };
    for (const auto& [wide, text] : cases) {
        EXPECT_EQ(TextFromWide(wide), text);
        EXPECT_EQ(WideFromText(text), wide);
    }
}

TEST(WideTextTest, BytesThatStartNoSequenceBecomeReplacementCharacters) {
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"\xFF", u"\ufffd"},
        {"\x80"
         "a",
         u"\ufffd"
         "a"},
        {"\xC0\x80", u"\ufffd\ufffd"},                      // overlong
        {"\xE0\x80\x80", u"\ufffd\ufffd\ufffd"},            // overlong
        {"\xF4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // past U+10FFFF
        {"\xE6\x97", u"\ufffd\ufffd"},                      // cut short
        {"\xC3"
         "a",
         u"\ufffd"
         "a"},
    };
    for (const auto& [text, wide] : cases) EXPECT_EQ(WideFromText(text), wide) << text;
}

}  // namespace
}  // namespace qvx::launcher::test
