// MS-DOS packed time stamps, as entries store them: time = hour * 2048 + minute * 32 + second / 2,
// date = (year - 1980) * 512 + month * 32 + day, both in local time by default; the Utc variants
// read and write the fields as UTC, which gives the same stamp in every time zone.
#pragma once

#include <cstdint>
#include <ctime>

#include "Export.h"

namespace qvx {

struct DosStamp {
    std::uint16_t Time = 0;
    std::uint16_t Date = 0;
};

// Local time of t as a DOS stamp; times before 1980 give 1980-01-01 00:00:00, times after 2107
// give 2107-12-31 23:59:58.
INSTCOMPRESS_API DosStamp ToDosStamp(std::time_t t);
// The local time a DOS stamp stands for; fields out of range are normalised as mktime does.
INSTCOMPRESS_API std::time_t FromDosStamp(DosStamp stamp);

// UTC of t as a DOS stamp, with the same limits as ToDosStamp.
INSTCOMPRESS_API DosStamp ToDosStampUtc(std::time_t t);
// The instant a DOS stamp of UTC fields stands for; fields out of range are normalised (month 13
// is January of the next year, day 0 the last day of the month before, and so on).
INSTCOMPRESS_API std::time_t FromDosStampUtc(DosStamp stamp);

}  // namespace qvx
