#include "ListFormat.h"

#include <cstdio>

#include <instcompress/ArchiveFormat.h>

namespace qvx::cli {

namespace {

std::string MethodText(std::uint8_t index) { return MethodName(MethodFromIndex(index)); }

std::string Padded(const std::string& text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

}  // namespace

std::string FormatDosDate(std::uint16_t date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", 1980u + (date >> 9), (date >> 5) & 0x0Fu, date & 0x1Fu);
    return text;
}

std::string FormatDosTime(std::uint16_t time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", (time >> 11) & 0x1Fu, (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2u);
    return text;
}

std::string FormatAttributes(std::uint16_t attributes) {
    static constexpr struct {
        std::uint16_t Bit;
        char Letter;
    } kBits[] = {{0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x10, 'D'}, {0x20, 'A'}};
    std::string text;
    for (const auto& b : kBits) text += (attributes & b.Bit) ? b.Letter : '-';
    return text;
}

std::string FormatRatio(std::int64_t stored, std::int64_t expanded) {
    if (expanded <= 0) return "-";
    const std::int64_t permille = (stored * 1000 + expanded / 2) / expanded;
    return std::to_string(permille / 10) + "." + std::to_string(permille % 10) + "%";
}

DosStamp ShownStamp(const EntryHeader& header, bool utc) {
    const DosStamp stored{header.FileTime, header.FileDate};
    return utc ? ToDosStamp(FromDosStampUtc(stored)) : stored;
}

std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::string FormatChecksum(std::uint32_t checksum) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(checksum));
    return text;
}

namespace {

// Stored and expanded bytes over all entries of a listing.
struct ListingTotals {
    std::int64_t Stored = 0;
    std::int64_t Expanded = 0;
};

ListingTotals TotalsOf(const Listing& listing) {
    ListingTotals t;
    for (const ArchiveEntry& e : listing.Entries) {
        t.Stored += e.Header.StoredSize;
        t.Expanded += e.Header.ExpandedSize;
    }
    return t;
}

}  // namespace

void PrintListingTable(std::ostream& out, const Listing& listing) {
    out << "Method     Stored   Expanded   Ratio  Date        Time      Attr   Checksum  Name\n";
    for (const ArchiveEntry& e : listing.Entries) {
        const EntryHeader& h = e.Header;
        const DosStamp stamp = ShownStamp(h, listing.Utc);
        out << Padded(MethodText(h.MethodIndex), 6, false) << ' ' << Padded(std::to_string(h.StoredSize), 10, true)
            << ' ' << Padded(std::to_string(h.ExpandedSize), 10, true) << ' '
            << Padded(FormatRatio(h.StoredSize, h.ExpandedSize), 7, true) << "  " << FormatDosDate(stamp.Date) << "  "
            << FormatDosTime(stamp.Time) << "  " << FormatAttributes(h.Attributes) << "  "
            << FormatChecksum(h.Checksum) << "  " << listing.Names.DecodeForDisplay(e.Name) << '\n';
    }
    const std::size_t n = listing.Entries.size();
    const auto [stored, expanded] = TotalsOf(listing);
    out << "------ ---------- ---------- -------\n";
    out << Padded("Total", 6, false) << ' ' << Padded(std::to_string(stored), 10, true) << ' '
        << Padded(std::to_string(expanded), 10, true) << ' ' << Padded(FormatRatio(stored, expanded), 7, true) << "  "
        << n << (n == 1 ? " entry" : " entries") << '\n';
}

nlohmann::ordered_json ListingJson(const Listing& listing) {
    using json = nlohmann::ordered_json;
    json entries = json::array();
    for (const ArchiveEntry& e : listing.Entries) {
        const EntryHeader& h = e.Header;
        const DosStamp stamp = ShownStamp(h, listing.Utc);
        entries.push_back(json{{"name", listing.Names.DecodeForDisplay(e.Name)},
                               {"nameBytes", HexBytes(e.Name)},
                               {"method", MethodText(h.MethodIndex)},
                               {"methodIndex", h.MethodIndex},
                               {"storedSize", h.StoredSize},
                               {"expandedSize", h.ExpandedSize},
                               {"ratio", FormatRatio(h.StoredSize, h.ExpandedSize)},
                               {"date", FormatDosDate(stamp.Date)},
                               {"time", FormatDosTime(stamp.Time)},
                               {"attributes", h.Attributes},
                               {"attributeFlags", FormatAttributes(h.Attributes)},
                               {"checksum", FormatChecksum(h.Checksum)}});
    }
    const auto [stored, expanded] = TotalsOf(listing);
    return json{{"archive", listing.Archive},
                {"method", listing.MethodId},
                {"totalSize", listing.TotalSize},
                {"entries", std::move(entries)},
                {"totals",
                 {{"entries", listing.Entries.size()},
                  {"storedSize", stored},
                  {"expandedSize", expanded},
                  {"ratio", FormatRatio(stored, expanded)}}}};
}

}  // namespace qvx::cli
