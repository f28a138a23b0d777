#include "archive/EntrySelection.h"

namespace qvx::cli {

namespace {

constexpr char kSeparator = '\\';

bool IsSeparator(char c) noexcept { return c == '/' || c == '\\'; }

char Fold(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

char Upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The pattern with "\" as its only separator, without "." components and repeated separators;
// *below is set when it ended in a separator.
std::string NormalPattern(std::string_view text, bool* below) {
    std::string out;
    *below = !text.empty() && IsSeparator(text.back());
    if (!text.empty() && IsSeparator(text.front())) out += kSeparator;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSeparator(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !IsSeparator(text[j])) ++j;
        const std::string_view component = text.substr(i, j - i);
        if (!component.empty() && component != ".") {
            if (!out.empty() && out.back() != kSeparator) out += kSeparator;
            out += component;
        }
        i = j;
    }
    return out;
}

}  // namespace

EntryPattern::EntryPattern(std::string_view text) : text_(text) {
    const std::string p = NormalPattern(text, &below_);
    empty_ = p.empty() || p == std::string(1, kSeparator);
    std::size_t i = 0;
    while (i < p.size()) {
        Token t;
        const char c = p[i];
        if (c == '*') {
            std::size_t run = 0;
            while (i < p.size() && p[i] == '*') ++i, ++run;
            if (run == 1) {
                t.What = Kind::Star;
            } else if (i < p.size() && p[i] == kSeparator) {
                t.What = Kind::AnyDirectories;
                ++i;
            } else {
                t.What = Kind::AnyRun;
            }
            tokens_.push_back(std::move(t));
            continue;
        }
        if (c == '?') {
            t.What = Kind::AnyOne;
            tokens_.push_back(std::move(t));
            ++i;
            continue;
        }
        if (c == '[') {
            std::size_t j = i + 1;
            const bool negated = j < p.size() && (p[j] == '!' || p[j] == '^');
            if (negated) ++j;
            const std::size_t first = j;
            // The first member may be "]" itself; the set ends at the next "]".
            std::size_t close = first < p.size() ? p.find(']', first + 1) : std::string::npos;
            if (close != std::string::npos) {
                t.What = Kind::Set;
                t.Negated = negated;
                for (std::size_t k = first; k < close;) {
                    if (k + 2 < close && p[k + 1] == '-') {
                        t.Ranges.emplace_back(p[k], p[k + 2]);
                        k += 3;
                    } else {
                        t.Ranges.emplace_back(p[k], p[k]);
                        ++k;
                    }
                }
                tokens_.push_back(std::move(t));
                i = close + 1;
                continue;
            }
        }
        t.What = Kind::Literal;
        t.Char = Fold(c);
        tokens_.push_back(std::move(t));
        ++i;
    }
}

bool EntryPattern::InSet(const Token& set, char c) {
    // c is folded; a range written in capitals still takes the lower-case letter.
    bool member = false;
    for (const auto& [lo, hi] : set.Ranges) {
        if ((c >= lo && c <= hi) || (Upper(c) >= lo && Upper(c) <= hi)) {
            member = true;
            break;
        }
    }
    return member != set.Negated;
}

bool EntryPattern::Matches(std::string_view entryName) const {
    if (empty_) return false;
    std::string name(entryName);
    for (char& c : name) c = IsSeparator(c) ? kSeparator : Fold(c);
    const std::size_t n = name.size();

    // reach[j]: the tokens so far match name[0, j). One pass per token keeps the work at
    // tokens x name length whatever the pattern, so hostile names cannot make it explode.
    std::vector<std::uint8_t> reach(n + 1, 0);
    std::vector<std::uint8_t> next(n + 1, 0);
    reach[0] = 1;
    for (const Token& t : tokens_) {
        std::fill(next.begin(), next.end(), std::uint8_t{0});
        bool any = false;
        switch (t.What) {
            case Kind::Literal:
            case Kind::AnyOne:
            case Kind::Set:
                for (std::size_t j = 0; j < n; ++j) {
                    if (!reach[j]) continue;
                    const char c = name[j];
                    const bool ok = t.What == Kind::Literal
                                        ? c == t.Char
                                        : c != kSeparator && (t.What == Kind::AnyOne || InSet(t, c));
                    if (ok) next[j + 1] = 1, any = true;
                }
                break;
            case Kind::Star:
            case Kind::AnyRun:
                for (std::size_t j = 0; j <= n; ++j) {
                    const bool extend = j > 0 && next[j - 1] && (t.What == Kind::AnyRun || name[j - 1] != kSeparator);
                    if (reach[j] || extend) next[j] = 1, any = true;
                }
                break;
            case Kind::AnyDirectories: {
                bool seen = false;  // some reach[i] with i < j
                for (std::size_t j = 0; j <= n; ++j) {
                    if ((reach[j]) || (seen && name[j - 1] == kSeparator)) next[j] = 1, any = true;
                    seen = seen || reach[j];
                }
                break;
            }
        }
        if (!any) return false;
        reach.swap(next);
    }
    for (std::size_t j = 0; j < n; ++j)
        if (reach[j] && name[j] == kSeparator) return true;  // a directory the entry lies in
    return !below_ && reach[n];
}

EntrySelection::EntrySelection(const SelectionOptions& options) {
    for (const std::string& p : options.Patterns) include_.emplace_back(p);
    for (const std::string& p : options.Exclude) exclude_.emplace_back(p);
    used_.assign(include_.size(), false);
}

bool EntrySelection::Select(std::string_view entryName) {
    bool included = include_.empty();
    for (std::size_t i = 0; i < include_.size(); ++i) {
        if (include_[i].Matches(entryName)) {
            used_[i] = true;
            included = true;
        }
    }
    if (!included) return false;
    for (const EntryPattern& p : exclude_)
        if (p.Matches(entryName)) return false;
    return true;
}

std::vector<std::string> EntrySelection::Unmatched() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < include_.size(); ++i)
        if (!used_[i]) out.push_back(include_[i].Text());
    return out;
}

}  // namespace qvx::cli
