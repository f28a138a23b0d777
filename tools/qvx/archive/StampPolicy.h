// How create and setup build turn a file's modification time into the entry's DOS stamp. By
// default the stamp holds local time, as Windows readers of DOS times expect; --utc stores UTC.
// A clamp (--mtime TIME, or the environment variable SOURCE_DATE_EPOCH) limits every time to at
// most that instant and stores UTC, so that the same tree gives the same bytes in any time zone.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <instcompress/DosDateTime.h>

namespace qvx::cli {

struct StampPolicy {
    bool Utc = false;
    std::optional<std::time_t> Clamp;

    DosStamp StampFor(std::time_t modificationTime) const;
};

// A time of --mtime: "@N" (seconds since 1970) or "YYYY-MM-DD[THH:MM[:SS]]" taken as UTC (a
// space may stand for the "T"); std::nullopt when the text is neither.
std::optional<std::time_t> ParseTimeArgument(std::string_view text);

// The policy of the options and the environment: --mtime wins over SOURCE_DATE_EPOCH (seconds).
// Raises FileError about the option or the variable when its value is not a time.
StampPolicy MakeStampPolicy(bool utc, const std::string& mtime, const char* sourceDateEpoch);

// Reading stored stamps (extract, list --utc): the instant a stamp stands for.
std::time_t StampTime(DosStamp stamp, bool utc);

}  // namespace qvx::cli
