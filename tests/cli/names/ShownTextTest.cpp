// How names and messages are shown: control characters in caret notation, C1 controls and bytes
// that do not decode as "?", everything else as it is; nothing shown can be taken for a "\".
#include <gtest/gtest.h>

#include "names/ShownText.h"

namespace qvx::cli {
namespace {

TEST(ShownText, ControlCharactersAndUndecodableBytes) {
    const struct {
        std::string Text;
        std::string Shown;
    } cases[] = {
        {"plain\\name.txt", "plain\\name.txt"},
        {"esc\x1B[2J", "esc^[[2J"},
        {"bel\a cr\r lf\n tab\t nul" + std::string(1, '\0'), "bel^G cr^M lf^J tab^I nul^@"},
        {"del\x7F", "del^?"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // é and € stay
        {"csi\xC2\x9B"
         "2J",
         "csi?2J"},                             // U+009B, the C1 CSI
        {"bad\x81 cut\xE2\x82", "bad? cut??"},  // not UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(ShownText(c.Text), c.Shown) << c.Shown;
}

TEST(ShownText, NamesDecodedFromTheirCodePage) {
    const CodePage cp1252 = CodePage::Default();
    EXPECT_EQ(ShownName(cp1252, "caf\xE9\\\x81"), "caf\xC3\xA9\\?");
    EXPECT_EQ(ShownName(cp1252,
                        "a\x1B"
                        "b"),
              "a^[b");
    EXPECT_EQ(ShownName(CodePage::Utf8(), "c1\xC2\x85"), "c1?");  // U+0085 decodes, but is a control
}

}  // namespace
}  // namespace qvx::cli
