#include <instcompress/DosDateTime.h>

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

}  // namespace

DosStamp ToDosStamp(std::time_t t) {
    const std::tm tm = LocalTime(t);
    const int year = tm.tm_year + 1900;
    if (year < 1980) return DosStamp{0, (1 << 5) | 1};
    if (year > 2107) return DosStamp{(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
    DosStamp s;
    s.Time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    s.Date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    return s;
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
