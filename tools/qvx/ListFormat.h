// The listing of an archive's entries: a table with a totals line for people, and the same as
// JSON for programs.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <instcompress/ArchiveWalker.h>

namespace qvx::cli {

struct Listing {
    std::string Archive;    // the archive's path as given
    std::string MethodId;   // the header's method identifier
    std::int32_t TotalSize = 0;
    std::vector<ArchiveEntry> Entries;
};

// "YYYY-MM-DD" and "HH:MM:SS" of a DOS date and time, field by field as stored.
std::string FormatDosDate(std::uint16_t date);
std::string FormatDosTime(std::uint16_t time);
// The attribute bits as five letters R H S D A, '-' for a clear bit.
std::string FormatAttributes(std::uint16_t attributes);
// Stored size as a share of the expanded size, "37.5%" (rounded to 0.1); "-" when expanded is 0.
std::string FormatRatio(std::int64_t stored, std::int64_t expanded);
// Eight lower-case hexadecimal digits.
std::string FormatChecksum(std::uint32_t checksum);

void PrintListingTable(std::ostream& out, const Listing& listing);
nlohmann::ordered_json ListingJson(const Listing& listing);

}  // namespace qvx::cli
