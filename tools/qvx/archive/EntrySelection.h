// Entry selection: which entries of an archive the names given on the command line pick, for list,
// test, cat and extract.
//
// A pattern is matched against an entry name as follows:
//   - "/" and "\" are both separators, in patterns and in entry names; "." components and repeated
//     separators in a pattern are dropped ("./docs//a.txt" is "docs\a.txt");
//   - ASCII letters match without regard to case, as the archive reader compares names;
//   - "*" matches any run of characters within one component (it never crosses a separator, as in
//     a shell); "**" matches any run of characters, separators included, and "**/" also matches
//     nothing at all, so "**/*.txt" finds .txt files at every depth;
//   - "?" matches one character other than a separator; "[...]" one character of a set, with
//     ranges ("[a-f]") and negation ("[!x]" or "[^x]"); a "]" right after the "[" (or after the
//     negation) is a member, an unclosed "[" is an ordinary character; a set never matches a
//     separator;
//   - a pattern selects the entry it matches in full and every entry below a directory it matches
//     ("docs" selects "docs\a.txt" as tar does); a pattern ending in a separator ("docs/")
//     selects only what lies below.
// An empty pattern matches nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::cli {

// The selection options of a reading command: patterns to select (none: every entry) and patterns
// to leave out (-x).
struct SelectionOptions {
    std::vector<std::string> Patterns;
    std::vector<std::string> Exclude;
};

class EntryPattern {
public:
    explicit EntryPattern(std::string_view text);

    // The pattern as given.
    const std::string& Text() const noexcept { return text_; }
    bool Matches(std::string_view entryName) const;

private:
    enum class Kind : std::uint8_t { Literal, AnyOne, Set, Star, AnyRun, AnyDirectories };
    struct Token {
        Kind What = Kind::Literal;
        char Char = 0;                              // Literal (case-folded)
        bool Negated = false;                       // Set
        std::vector<std::pair<char, char>> Ranges;  // Set: inclusive ranges, as written
    };

    static bool InSet(const Token& set, char c);

    std::string text_;
    std::vector<Token> tokens_;
    bool below_ = false;  // the pattern ended in a separator: only entries below it
    bool empty_ = false;
};

// The include and exclude patterns of one command, and which include patterns have matched.
class EntrySelection {
public:
    explicit EntrySelection(const SelectionOptions& options);

    // Whether the entry is selected: matched by an include pattern (or there are none) and by no
    // exclude pattern. Every include pattern that matches the name is marked as used, even when an
    // exclude pattern then leaves the entry out.
    bool Select(std::string_view entryName);

    // The include patterns that have matched no entry so far, in the order given.
    std::vector<std::string> Unmatched() const;

private:
    std::vector<EntryPattern> include_;
    std::vector<EntryPattern> exclude_;
    std::vector<bool> used_;
};

}  // namespace qvx::cli
