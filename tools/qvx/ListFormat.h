// The listing of an archive's entries: a table with a totals line for people, and the same as
// JSON for programs. Names are shown in UTF-8, decoded from the listing's code page; the JSON
// also gives the stored bytes of each name ("nameBytes"), so that a script can address any entry.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>

#include "CodePage.h"

namespace qvx::cli {

struct Listing {
    std::string Archive;    // the archive's path as given
    std::string MethodId;   // the header's method identifier
    std::int32_t TotalSize = 0;
    std::vector<ArchiveEntry> Entries;
    CodePage Names = CodePage::Default();  // the code page the names are shown from
    bool Utc = false;                      // the stamps hold UTC: show them in local time
};

// The stamp of an entry as a listing shows it: as stored, or for stamps in UTC the same instant in
// local time.
DosStamp ShownStamp(const EntryHeader& header, bool utc);
// The bytes as lower-case hexadecimal digits, two per byte.
std::string HexBytes(std::string_view bytes);

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
