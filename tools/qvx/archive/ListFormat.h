// The listing of an archive's entries, written entry by entry as the archive is read, so that
// memory stays flat however many entries there are: a table with a totals line for people, and
// the same as JSON for programs. The table shows names decoded from the listing's code page as
// ShownName shows them; the JSON gives the decoded name with its own escapes and the stored bytes
// of each name ("nameBytes"), so that a script can address any entry. A listing that an error cuts
// short still ends as a whole document: the JSON closes with an "error" member naming the fault.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>

#include "names/CodePage.h"

namespace qvx::cli {

// What a listing says about the archive before its entries.
struct ListingHeader {
    std::string Archive;   // the archive's path as given
    std::string MethodId;  // the header's method identifier
    std::int32_t TotalSize = 0;
    CodePage Names = CodePage::Default();  // the code page the names are shown from
    bool Utc = false;                      // the stamps hold UTC: show them in local time
};

class ListingWriter {
public:
    virtual ~ListingWriter() = default;
    // Writes what comes before the entries.
    virtual void Begin(const ListingHeader& header) = 0;
    virtual void Entry(const ArchiveEntry& entry) = 0;
    // Writes the totals of the entries written and closes the listing; problem, when not empty,
    // is the fault that cut the listing short or found the archive incomplete (the table leaves it
    // to the error message on stderr).
    virtual void End(const std::string& problem) = 0;
};

std::unique_ptr<ListingWriter> TableListing(std::ostream& out);
std::unique_ptr<ListingWriter> JsonListing(std::ostream& out);

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

}  // namespace qvx::cli
