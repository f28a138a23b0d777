#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"
#include "cli/ErrorReport.h"
#include "commands/SelectedEntries.h"

namespace qvx::cli::test {
namespace {

using SelectedEntriesTest = CliTest;

// Every entry is seen before selection, the selected ones reach the visitor in archive order, the
// others are skipped, and the patterns that selected nothing are reported in the order given.
TEST_F(SelectedEntriesTest, SelectsInArchiveOrderAndReportsWhatSelectedNothing) {
    Write("a.spis", BuildArchive({StoredEntry("docs\\a.txt", "alpha"), StoredEntry("docs\\b.bin", "beta"),
                                  StoredEntry("readme.txt", "gamma")}));
    const struct {
        SelectionOptions selection;
        std::vector<std::string> selected;
        std::string unmatched;  // what ReportUnmatched writes
    } cases[] = {
        {{}, {"docs\\a.txt", "docs\\b.bin", "readme.txt"}, ""},
        {{{"*.txt"}, {}}, {"readme.txt"}, ""},
        {{{"docs"}, {"docs/*.bin"}}, {"docs\\a.txt"}, ""},
        {{{"nope", "README.TXT", "x/"}, {}},
         {"readme.txt"},
         "qvx: a.spis: nope: no such entry\nqvx: a.spis: x/: no such entry\n"},
    };
    for (const auto& c : cases) {
        TQuorvexCompress component;
        ArchiveInputOptions input;
        input.Path = Path("a.spis").string();
        SelectedEntries entries(component, input, c.selection, CodePage::Default());
        std::vector<std::string> seen;
        std::vector<std::string> selected;
        entries.Walk({
            .Each = [&](const ArchiveEntry& entry) { seen.push_back(entry.Name); },
            .Selected =
                [&](const ArchiveEntry& entry) {
                    selected.push_back(entry.Name);
                    entries.Walker().Skip(entry);
                },
        });
        const std::string what = c.selected.empty() ? "" : c.selected.front();
        EXPECT_EQ(seen, (std::vector<std::string>{"docs\\a.txt", "docs\\b.bin", "readme.txt"})) << what;
        EXPECT_EQ(selected, c.selected) << what;
        EXPECT_EQ(entries.TruncationProblem(), "") << what;
        ::testing::internal::CaptureStderr();
        const int exitCode = entries.ReportUnmatched(kExitOk);
        std::string reported = ::testing::internal::GetCapturedStderr();
        // The archive is named as given: here by its whole path.
        for (std::size_t at; (at = reported.find(input.Path)) != std::string::npos;)
            reported.replace(at, input.Path.size(), "a.spis");
        EXPECT_EQ(reported, c.unmatched) << what;
        EXPECT_EQ(exitCode, c.unmatched.empty() ? kExitOk : kExitDataError) << what;
    }
}

// An input too short for an archive header reads as an empty archive, unless a whole header is
// asked for; a file cut behind an entry ends the walk there, the entries before it visited.
TEST_F(SelectedEntriesTest, ShortAndCutArchives) {
    const std::vector<std::uint8_t> whole = BuildArchive({StoredEntry("a", "alpha"), StoredEntry("b", "beta")});
    Write("short.spis", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 6));
    // Cut behind the first entry: the header's total still counts the second.
    const std::size_t first = BuildArchive({StoredEntry("a", "alpha")}).size();
    Write("cut.spis", std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(first)));
    TQuorvexCompress component;
    ArchiveInputOptions input;
    input.Path = Path("short.spis").string();
    try {
        SelectedEntries entries(component, input, {}, CodePage::Default(), WalkSettings{.WholeHeader = true});
        ADD_FAILURE() << "a short file passed as an archive";
    } catch (const platform::FileError& e) {
        EXPECT_STREQ(e.what(), "not an archive");
    }
    for (const bool readAhead : {false, true}) {
        input.Path = Path("short.spis").string();
        SelectedEntries empty(component, input, {}, CodePage::Default(), WalkSettings{.ReadAhead = readAhead});
        int visited = 0;
        empty.Walk({.Each = [&](const ArchiveEntry&) { ++visited; }, .Selected = [](const ArchiveEntry&) {}});
        EXPECT_EQ(visited, 0);
        EXPECT_EQ(empty.TruncationProblem(), "");

        input.Path = Path("cut.spis").string();
        SelectedEntries cut(component, input, {}, CodePage::Default(), WalkSettings{.ReadAhead = readAhead});
        std::vector<std::string> selected;
        try {
            cut.Walk({.Selected = [&](const ArchiveEntry& entry) {
                selected.push_back(entry.Name);
                cut.Walker().Skip(entry);
            }});
            ADD_FAILURE() << "a cut archive walked to its end";
        } catch (const ETruncatedArchive& e) {
            EXPECT_EQ(e.Message(), "archive is truncated: its entries hold 5 of 9 bytes");
        }
        EXPECT_EQ(selected, std::vector<std::string>{"a"}) << readAhead;
    }
}

}  // namespace
}  // namespace qvx::cli::test
