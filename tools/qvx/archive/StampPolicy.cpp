#include "archive/StampPolicy.h"

#include <algorithm>
#include <cstdint>

#include "platform/FileError.h"

namespace qvx::cli {

namespace {

// The digits of text[*pos, *pos + count) as a number, advancing *pos.
std::optional<std::int64_t> Digits(std::string_view text, std::size_t* pos, std::size_t count) {
    if (text.size() - *pos < count) return std::nullopt;
    std::int64_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[*pos + i];
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    *pos += count;
    return n;
}

bool Expect(std::string_view text, std::size_t* pos, std::string_view accepted) {
    if (*pos >= text.size() || accepted.find(text[*pos]) == std::string_view::npos) return false;
    ++*pos;
    return true;
}

std::optional<std::time_t> ParseSeconds(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::size_t pos = 0;
    const bool negative = text[0] == '-';
    if (negative) pos = 1;
    const auto n = Digits(text, &pos, text.size() - pos);
    if (!n || pos == static_cast<std::size_t>(negative)) return std::nullopt;
    return static_cast<std::time_t>(negative ? -*n : *n);
}

bool LeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

DosStamp StampPolicy::StampFor(std::time_t modificationTime) const {
    if (Clamp) return ToDosStampUtc(std::min(modificationTime, *Clamp));
    return Utc ? ToDosStampUtc(modificationTime) : ToDosStamp(modificationTime);
}

std::optional<std::time_t> ParseTimeArgument(std::string_view text) {
    if (text.starts_with('@')) return ParseSeconds(text.substr(1));
    std::size_t pos = 0;
    const auto year = Digits(text, &pos, 4);
    if (!year || !Expect(text, &pos, "-")) return std::nullopt;
    const auto month = Digits(text, &pos, 2);
    if (!month || !Expect(text, &pos, "-")) return std::nullopt;
    const auto day = Digits(text, &pos, 2);
    if (!day) return std::nullopt;
    std::int64_t hour = 0, minute = 0, second = 0;
    if (pos < text.size()) {
        if (!Expect(text, &pos, "T ")) return std::nullopt;
        const auto h = Digits(text, &pos, 2);
        if (!h || !Expect(text, &pos, ":")) return std::nullopt;
        const auto m = Digits(text, &pos, 2);
        if (!m) return std::nullopt;
        hour = *h, minute = *m;
        if (pos < text.size()) {
            const auto s = Expect(text, &pos, ":") ? Digits(text, &pos, 2) : std::nullopt;
            if (!s) return std::nullopt;
            second = *s;
        }
        if (pos != text.size()) return std::nullopt;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (*month < 1 || *month > 12 || *day < 1) return std::nullopt;
    const int monthDays = kDays[*month - 1] + (*month == 2 && LeapYear(*year) ? 1 : 0);
    if (*day > monthDays || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    // Through the DOS stamp's own calendar arithmetic would lose the odd second; count directly.
    std::int64_t days = 0;
    for (std::int64_t y = 1970; y < *year; ++y) days += LeapYear(y) ? 366 : 365;
    for (std::int64_t y = *year; y < 1970; ++y) days -= LeapYear(y) ? 366 : 365;
    for (int m = 1; m < *month; ++m) days += kDays[m - 1] + (m == 2 && LeapYear(*year) ? 1 : 0);
    days += *day - 1;
    return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

StampPolicy MakeStampPolicy(bool utc, const std::string& mtime, const char* sourceDateEpoch) {
    StampPolicy policy;
    policy.Utc = utc;
    if (!mtime.empty()) {
        policy.Clamp = ParseTimeArgument(mtime);
        if (!policy.Clamp)
            throw platform::FileError("--mtime", "'" + mtime + "' is not a time (@SECONDS or YYYY-MM-DD[THH:MM[:SS]])");
    } else if (sourceDateEpoch != nullptr && *sourceDateEpoch != '\0') {
        policy.Clamp = ParseSeconds(sourceDateEpoch);
        if (!policy.Clamp || *policy.Clamp < 0)
            throw platform::FileError("SOURCE_DATE_EPOCH",
                                      std::string("'") + sourceDateEpoch + "' is not a number of seconds");
    }
    return policy;
}

std::time_t StampTime(DosStamp stamp, bool utc) { return utc ? FromDosStampUtc(stamp) : FromDosStamp(stamp); }

}  // namespace qvx::cli
