#include <instcompress/DosDateTime.h>

#include <cstdint>

namespace qvx {

namespace {

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (month 1-12).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The UTC fields of t, as gmtime gives them (only the fields a DOS stamp needs).
std::tm UtcTime(std::time_t t) {
    const std::int64_t seconds = static_cast<std::int64_t>(t);
    std::int64_t days = seconds / 86400;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // The inverse of DaysFromCivil.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = static_cast<int>(month - 1);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(secondOfDay / 3600);
    tm.tm_min = static_cast<int>(secondOfDay / 60 % 60);
    tm.tm_sec = static_cast<int>(secondOfDay % 60);
    return tm;
}

DosStamp StampOf(const std::tm& tm) {
    const int year = tm.tm_year + 1900;
    if (year < 1980) return DosStamp{0, (1 << 5) | 1};
    if (year > 2107) return DosStamp{(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
    DosStamp s;
    s.Time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    s.Date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    return s;
}

}  // namespace

DosStamp ToDosStamp(std::time_t t) { return StampOf(LocalTime(t)); }

DosStamp ToDosStampUtc(std::time_t t) { return StampOf(UtcTime(t)); }

std::time_t FromDosStampUtc(DosStamp stamp) {
    std::int64_t year = 1980 + ((stamp.Date >> 9) & 0x7F);
    std::int64_t month = ((stamp.Date >> 5) & 0x0F) - 1;  // 0-based, may be out of range
    year += month >= 0 ? month / 12 : (month - 11) / 12;
    month = ((month % 12) + 12) % 12;
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month + 1), 1) + (stamp.Date & 0x1F) - 1;
    const std::int64_t seconds =
        days * 86400 + ((stamp.Time >> 11) & 0x1F) * 3600 + ((stamp.Time >> 5) & 0x3F) * 60 + (stamp.Time & 0x1F) * 2;
    return static_cast<std::time_t>(seconds);
}

std::time_t FromDosStamp(DosStamp stamp) {
    std::tm tm{};
    tm.tm_year = ((stamp.Date >> 9) & 0x7F) + 80;
    tm.tm_mon = ((stamp.Date >> 5) & 0x0F) - 1;
    tm.tm_mday = stamp.Date & 0x1F;
    tm.tm_hour = (stamp.Time >> 11) & 0x1F;
    tm.tm_min = (stamp.Time >> 5) & 0x3F;
    tm.tm_sec = (stamp.Time & 0x1F) * 2;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace qvx
