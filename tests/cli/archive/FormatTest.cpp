#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "commands/Create.h"
#include "archive/ListFormat.h"
#include "cli/Progress.h"

namespace qvx::cli {
namespace {

TEST(ListFormat, DosStampsFieldByField) {
    EXPECT_EQ(FormatDosDate((44 << 9) | (5 << 5) | 17), "2024-05-17");
    EXPECT_EQ(FormatDosTime((12 << 11) | (34 << 5) | 28), "12:34:56");
    EXPECT_EQ(FormatDosDate(0), "1980-00-00");
    EXPECT_EQ(FormatDosTime(0xFFFF), "31:63:62");
}

TEST(ListFormat, AttributesRatioAndChecksum) {
    EXPECT_EQ(FormatAttributes(0x20), "----A");
    EXPECT_EQ(FormatAttributes(0x21), "R---A");
    EXPECT_EQ(FormatAttributes(0x17), "RHSD-");
    EXPECT_EQ(FormatRatio(50, 200), "25.0%");
    EXPECT_EQ(FormatRatio(1, 3), "33.3%");
    EXPECT_EQ(FormatRatio(2, 3), "66.7%");
    EXPECT_EQ(FormatRatio(300, 200), "150.0%");
    EXPECT_EQ(FormatRatio(0, 0), "-");
    EXPECT_EQ(FormatChecksum(0x1A2B), "00001a2b");
    EXPECT_EQ(FormatChecksum(0xFFFFFFFFu), "ffffffff");
}

struct SampleListing {
    ListingHeader Header;
    std::vector<ArchiveEntry> Entries;
};

SampleListing Sample() {
    SampleListing l;
    l.Header.Archive = "a.spis";
    l.Header.MethodId = "LH5";
    l.Header.TotalSize = 300;
    ArchiveEntry e;
    e.Name = "dir\\one";
    e.Header.MethodIndex = 4;
    e.Header.StoredSize = 50;
    e.Header.ExpandedSize = 200;
    e.Header.Attributes = 0x21;
    e.Header.Checksum = 0xBEEF;
    l.Entries.push_back(e);
    e.Name = "two";
    e.Header.MethodIndex = 9;
    e.Header.StoredSize = 100;
    e.Header.ExpandedSize = 100;
    l.Entries.push_back(e);
    return l;
}

// The listing as a writer writes it, ended with problem.
std::string Written(std::unique_ptr<ListingWriter> (*make)(std::ostream&), const SampleListing& l,
                    const std::string& problem = "") {
    std::ostringstream out;
    const auto writer = make(out);
    writer->Begin(l.Header);
    for (const ArchiveEntry& e : l.Entries) writer->Entry(e);
    writer->End(problem);
    return out.str();
}

nlohmann::ordered_json JsonOf(const SampleListing& l, const std::string& problem = "") {
    return nlohmann::ordered_json::parse(Written(JsonListing, l, problem));
}

TEST(ListFormat, TableHasOneRowPerEntryAndTotals) {
    SampleListing l = Sample();
    l.Entries.push_back(l.Entries[1]);
    l.Entries.back().Name = "esc\x1B[2Jbel\a";
    const std::string text = Written(TableListing, l);
    EXPECT_NE(text.find("LH5            50        200   25.0%"), std::string::npos) << text;
    EXPECT_NE(text.find("R---A  0000beef  dir\\one\n"), std::string::npos) << text;
    EXPECT_NE(text.find("#9            100        100  100.0%"), std::string::npos) << text;
    EXPECT_NE(text.find("  esc^[[2Jbel^G\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Total         250        400   62.5%  3 entries\n"), std::string::npos) << text;
}

TEST(ListFormat, JsonCarriesTheSameFields) {
    const auto j = JsonOf(Sample());
    EXPECT_EQ(j["archive"], "a.spis");
    EXPECT_EQ(j["method"], "LH5");
    EXPECT_EQ(j["totalSize"], 300);
    ASSERT_EQ(j["entries"].size(), 2u);
    EXPECT_EQ(j["entries"][0]["name"], "dir\\one");
    EXPECT_EQ(j["entries"][0]["checksum"], "0000beef");
    EXPECT_EQ(j["entries"][0]["attributes"], 0x21);
    EXPECT_EQ(j["entries"][1]["method"], "#9");
    EXPECT_EQ(j["totals"]["storedSize"], 150);
    EXPECT_EQ(j["totals"]["expandedSize"], 300);
    EXPECT_EQ(j["totals"]["entries"], 2);
    EXPECT_FALSE(j.contains("error"));
}

// Written entry by entry, the document is laid out as nlohmann lays out the whole, with or without
// entries, with or without the error that cut it short (which keeps it valid JSON).
TEST(ListFormat, JsonStreamedIsLaidOutAsTheWholeDocument) {
    SampleListing none = Sample();
    none.Entries.clear();
    const struct {
        const SampleListing Listing;
        std::string Problem;
    } cases[] = {{Sample(), ""}, {none, ""}, {Sample(), "Negative size in archive entry"}, {none, "cut \"short\"\n"}};
    for (const auto& c : cases) {
        const std::string text = Written(JsonListing, c.Listing, c.Problem);
        const auto j = nlohmann::ordered_json::parse(text);
        EXPECT_EQ(text, j.dump(2) + "\n");
        EXPECT_EQ(j["entries"].size(), c.Listing.Entries.size());
        if (c.Problem.empty())
            EXPECT_FALSE(j.contains("error"));
        else
            EXPECT_EQ(j["error"], c.Problem);
    }
}

// Names are decoded from the listing's code page, bytes it does not define shown in hex; the
// stored bytes are given as they are. Stamps in UTC are shown in local time.
TEST(ListFormat, NamesFromTheCodePageAndStampsFromUtc) {
    SampleListing l = Sample();
    l.Entries[0].Name = "caf\xE9\x81";
    l.Entries[0].Header.FileDate = (44 << 9) | (5 << 5) | 17;
    l.Entries[0].Header.FileTime = (12 << 11) | (34 << 5) | 28;
    auto j = JsonOf(l);
    EXPECT_EQ(j["entries"][0]["name"], "caf\xC3\xA9\\x81");
    EXPECT_EQ(j["entries"][0]["nameBytes"], "636166e981");
    EXPECT_EQ(j["entries"][1]["nameBytes"], "74776f");
    EXPECT_EQ(j["entries"][0]["time"], "12:34:56");
    EXPECT_NE(Written(TableListing, l).find("  caf\xC3\xA9?\n"), std::string::npos);
    l.Header.Names = *CodePage::Parse("1251");
    l.Header.Utc = true;
    j = JsonOf(l);
    EXPECT_EQ(j["entries"][0]["name"], "caf\xD0\xB9\xD0\x83");
    const DosStamp local =
        ToDosStamp(FromDosStampUtc(DosStamp{l.Entries[0].Header.FileTime, l.Entries[0].Header.FileDate}));
    EXPECT_EQ(j["entries"][0]["time"], FormatDosTime(local.Time));
    EXPECT_EQ(j["entries"][0]["date"], FormatDosDate(local.Date));
}

TEST(Progress, LineShowsLabelBarAndClampedPercent) {
    EXPECT_EQ(RenderProgressLine("file", 50, 10), "file" + std::string(28, ' ') + " [#####     ]  50%");
    EXPECT_EQ(RenderProgressLine("x", 250, 4), "x" + std::string(31, ' ') + " [####] 100%");
    EXPECT_EQ(RenderProgressLine("x", -1, 4), "x" + std::string(31, ' ') + " [    ]   0%");
    const std::string longName(40, 'n');
    EXPECT_EQ(RenderProgressLine(longName, 0, 2).substr(0, 34), "..." + std::string(29, 'n') + " [");
}

TEST(Progress, DisabledBarIsSilentAndGivesNoHandler) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        Progress p(f, false);
        EXPECT_FALSE(p.Handler());
        p.Start("x");
        p.Update(40);
    }
    EXPECT_EQ(std::ftell(f), 0);
    {
        Progress p(f, true);
        auto handler = p.Handler();
        ASSERT_TRUE(handler);
        std::int32_t percent = 40;
        handler(percent);
        EXPECT_EQ(percent, 40);  // never cancels
    }
    EXPECT_GT(std::ftell(f), 0);
    std::fclose(f);
}

TEST(CreateOrder, EmptyFilesFirstThenByName) {
    std::vector<SourceFile> files(4);
    files[0].Name = "b";
    files[0].Size = 3;
    files[1].Name = "z-empty";
    files[2].Name = "a";
    files[2].Size = 1;
    files[3].Name = "c-empty";
    SortForArchive(files);
    EXPECT_EQ(files[0].Name, "c-empty");
    EXPECT_EQ(files[1].Name, "z-empty");
    EXPECT_EQ(files[2].Name, "a");
    EXPECT_EQ(files[3].Name, "b");
}

}  // namespace
}  // namespace qvx::cli
