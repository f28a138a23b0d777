#include "archive/ListFormat.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include <instcompress/ArchiveFormat.h>

#include "names/ShownText.h"

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

using json = nlohmann::ordered_json;

// Stored and expanded bytes over the entries written.
struct ListingTotals {
    std::int64_t Entries = 0;
    std::int64_t Stored = 0;
    std::int64_t Expanded = 0;

    void Add(const EntryHeader& h) {
        ++Entries;
        Stored += h.StoredSize;
        Expanded += h.ExpandedSize;
    }
};

class Table final : public ListingWriter {
public:
    explicit Table(std::ostream& out) : out_(out) {}

    void Begin(const ListingHeader& header) override {
        header_ = header;
        out_ << "Method     Stored   Expanded   Ratio  Date        Time      Attr   Checksum  Name\n";
    }

    void Entry(const ArchiveEntry& e) override {
        const EntryHeader& h = e.Header;
        const DosStamp stamp = ShownStamp(h, header_.Utc);
        out_ << Padded(MethodText(h.MethodIndex), 6, false) << ' ' << Padded(std::to_string(h.StoredSize), 10, true)
             << ' ' << Padded(std::to_string(h.ExpandedSize), 10, true) << ' '
             << Padded(FormatRatio(h.StoredSize, h.ExpandedSize), 7, true) << "  " << FormatDosDate(stamp.Date) << "  "
             << FormatDosTime(stamp.Time) << "  " << FormatAttributes(h.Attributes) << "  "
             << FormatChecksum(h.Checksum) << "  " << ShownName(header_.Names, e.Name) << '\n';
        totals_.Add(h);
    }

    void End(const std::string&) override {
        const std::int64_t n = totals_.Entries;
        out_ << "------ ---------- ---------- -------\n";
        out_ << Padded("Total", 6, false) << ' ' << Padded(std::to_string(totals_.Stored), 10, true) << ' '
             << Padded(std::to_string(totals_.Expanded), 10, true) << ' '
             << Padded(FormatRatio(totals_.Stored, totals_.Expanded), 7, true) << "  " << n
             << (n == 1 ? " entry" : " entries") << '\n';
    }

private:
    std::ostream& out_;
    ListingHeader header_;
    ListingTotals totals_;
};

// The JSON document, laid out as nlohmann's dump with an indent of 2 lays out the whole: each
// entry's object is dumped by nlohmann and indented to its place in the "entries" array.
class Json final : public ListingWriter {
public:
    explicit Json(std::ostream& out) : out_(out) {}

    void Begin(const ListingHeader& header) override {
        header_ = header;
        out_ << "{\n  \"archive\": " << Dump(json(header.Archive), 0)
             << ",\n  \"method\": " << Dump(json(header.MethodId), 0) << ",\n  \"totalSize\": " << header.TotalSize
             << ",\n  \"entries\": [";
    }

    void Entry(const ArchiveEntry& e) override {
        const EntryHeader& h = e.Header;
        const DosStamp stamp = ShownStamp(h, header_.Utc);
        const json object{{"name", header_.Names.DecodeForDisplay(e.Name)},
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
                          {"checksum", FormatChecksum(h.Checksum)}};
        out_ << (totals_.Entries == 0 ? "\n    " : ",\n    ") << Dump(object, 4);
        totals_.Add(h);
    }

    void End(const std::string& problem) override {
        out_ << (totals_.Entries == 0 ? "]" : "\n  ]");
        const json totals{{"entries", totals_.Entries},
                          {"storedSize", totals_.Stored},
                          {"expandedSize", totals_.Expanded},
                          {"ratio", FormatRatio(totals_.Stored, totals_.Expanded)}};
        out_ << ",\n  \"totals\": " << Dump(totals, 2);
        if (!problem.empty()) out_ << ",\n  \"error\": " << Dump(json(problem), 0);
        out_ << "\n}\n";
    }

private:
    // The value as nlohmann dumps it with an indent of 2, every line after the first indented by
    // margin more (strings hold no raw line breaks, so only the layout's own break lines).
    static std::string Dump(const json& value, std::size_t margin) {
        std::string text = value.dump(2, ' ', false, json::error_handler_t::replace);
        if (margin == 0) return text;
        std::string indent(1, '\n');  // appended: GCC 12 at -O3 warns falsely about "\n" + std::string
        indent.append(margin, ' ');
        std::string shifted;
        shifted.reserve(text.size() + text.size() / 8);
        for (const char c : text) {
            if (c == '\n')
                shifted += indent;
            else
                shifted += c;
        }
        return shifted;
    }

    std::ostream& out_;
    ListingHeader header_;
    ListingTotals totals_;
};

}  // namespace

std::unique_ptr<ListingWriter> TableListing(std::ostream& out) { return std::make_unique<Table>(out); }
std::unique_ptr<ListingWriter> JsonListing(std::ostream& out) { return std::make_unique<Json>(out); }

}  // namespace qvx::cli
