// Entry selection: how command-line patterns match entry names, and which patterns matched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/EntrySelection.h"

namespace qvx::cli {
namespace {

struct MatchCase {
    const char* Pattern;
    const char* Name;
    bool Matches;
};

const MatchCase kMatchCases[] = {
    // Exact names, either separator, ASCII case ignored (other bytes compared as they are).
    MatchCase{"readme.txt", "readme.txt", true}, MatchCase{"README.TXT", "readme.txt", true},
    MatchCase{"docs/a.txt", "docs\\a.txt", true}, MatchCase{"docs\\a.txt", "docs/a.txt", true},
    MatchCase{"./docs//a.txt", "docs\\a.txt", true}, MatchCase{"docs/a.txt", "docs\\a.txtx", false},
    MatchCase{"\xC4", "\xE4", false}, MatchCase{"a.txt", "b\\a.txt", false},
    // A directory selects what lies below it; a trailing separator selects only that.
    MatchCase{"docs", "docs\\sub\\b.txt", true}, MatchCase{"docs", "docs", true},
    MatchCase{"docs/", "docs\\a.txt", true}, MatchCase{"docs/", "docs", false}, MatchCase{"doc", "docs\\a.txt", false},
    MatchCase{"docs/sub", "docs\\sub2\\x", false},
    // * and ? stay within one name.
    MatchCase{"*.txt", "a.txt", true}, MatchCase{"*.txt", "docs\\a.txt", false},
    MatchCase{"*", "docs\\a.txt", true},  // "docs" matches: everything below it
    MatchCase{"docs/*.txt", "docs\\a.txt", true}, MatchCase{"docs/*.txt", "docs\\sub\\b.txt", false},
    MatchCase{"a?c", "abc", true}, MatchCase{"a?c", "a\\c", false}, MatchCase{"a?c", "ac", false},
    MatchCase{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false}, MatchCase{"a*", "A", true},
    // ** crosses directories; **/ may match nothing.
    MatchCase{"**.txt", "docs\\sub\\b.txt", true}, MatchCase{"**/*.txt", "docs\\sub\\b.txt", true},
    MatchCase{"**/*.txt", "a.txt", true}, MatchCase{"docs/**/b.txt", "docs\\b.txt", true},
    MatchCase{"docs/**/b.txt", "docs\\x\\y\\b.txt", true}, MatchCase{"docs/**", "other\\b.txt", false},
    // Sets: ranges, negation with ! or ^, ] as the first member, an unclosed [ is a character.
    MatchCase{"[abc].bin", "b.bin", true}, MatchCase{"[a-c].bin", "d.bin", false},
    MatchCase{"[A-C].bin", "b.bin", true}, MatchCase{"[a-c].bin", "B.BIN", true},
    MatchCase{"[!a-c].bin", "d.bin", true}, MatchCase{"[^a-c].bin", "a.bin", false}, MatchCase{"[]x]", "]", true},
    MatchCase{"[!]]", "]", false}, MatchCase{"a[b", "a[b", true}, MatchCase{"a[!x]b", "a\\b", false},
    MatchCase{"[*]", "*", true}, MatchCase{"[*]", "x", false},
    // Empty patterns match nothing; a leading separator is kept (entry names never start so).
    MatchCase{"", "a", false}, MatchCase{".", "a", false}, MatchCase{"/", "a", false}, MatchCase{"/a", "a", false},
    MatchCase{"/abs", "\\abs", true}};

TEST(PatternMatch, AsInAShell) {
    for (const MatchCase& c : kMatchCases) {
        EXPECT_EQ(EntryPattern(c.Pattern).Matches(c.Name), c.Matches) << "'" << c.Pattern << "' on '" << c.Name << "'";
    }
}

TEST(EntrySelection, NoPatternsSelectEverythingButTheExcluded) {
    EntrySelection s(SelectionOptions{{}, {"*.bak", "tmp/"}});
    EXPECT_TRUE(s.Select("a.txt"));
    EXPECT_FALSE(s.Select("a.bak"));
    EXPECT_FALSE(s.Select("tmp\\x.txt"));
    EXPECT_TRUE(s.Select("docs\\a.bak"));  // * does not cross into docs
    EXPECT_TRUE(s.Unmatched().empty());
}

TEST(EntrySelection, ReportsEveryPatternThatMatchedNothingInOrder) {
    EntrySelection s(SelectionOptions{{"z*", "docs/", "a.txt", "q?", "a.TXT"}, {"docs/sub"}});
    const std::vector<std::pair<const char*, bool>> walk = {
        {"a.txt", true}, {"docs\\sub\\b.txt", false}, {"b.txt", false}, {"a.txt", true}};
    for (const auto& [name, selected] : walk) EXPECT_EQ(s.Select(name), selected) << name;
    // "docs/" matched an entry that -x then left out: it counts as matched.
    EXPECT_EQ(s.Unmatched(), (std::vector<std::string>{"z*", "q?"}));
}

}  // namespace
}  // namespace qvx::cli
