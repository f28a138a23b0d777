// qvx test: is the file a good archive? Expands every entry (or those the patterns select) to
// nowhere and verifies the checksums. A file too short for an archive header, or one that does
// not start with the archive magic, is "not an archive": the library reads a short stream as an
// empty archive, but test is asked about the file.
#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <optional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "Cli.h"
#include "CodePageOption.h"
#include "EntrySelection.h"
#include "ErrorReport.h"
#include "Progress.h"
#include "ShownText.h"
#include "StandardStreams.h"

namespace qvx::cli {

namespace {

struct TestOptions {
    ArchiveInputOptions Input;
    SelectionOptions Selection;
    bool Quiet = false;
    CodePage Names = CodePage::Default();
};

std::string Entries(std::size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

// The summary line of a test: the entries tested and failed, then what is wrong with the archive
// as a whole.
std::string TestSummary(std::size_t tested, std::size_t failed, bool truncated, bool damaged) {
    std::string line;
    if (failed > 0)
        line = std::to_string(failed) + " of " + Entries(tested) + " failed";
    else if (tested == 0)
        line = "No entries";
    else if (truncated || damaged)
        line = Entries(tested) + " OK";
    else
        line = "All " + Entries(tested) + " OK";
    if (truncated) line += "; archive is truncated";
    if (damaged) line += "; archive is damaged";
    return line;
}

// Expands the selected entries to nowhere; a failed entry is reported and the walk goes on behind
// it.
int RunTest(const TestOptions& options) {
    const std::string& path = options.Input.Path;
    TQuorvexCompress component;
    component.SetYield(cli::kNoYield);
    std::optional<OpenedArchive> archive;
    std::optional<ArchiveWalker> walker;
    try {
        archive.emplace(OpenArchiveInput(options.Input));
        if (!archive->HoldsArchiveHeader()) throw FileError(path, "not an archive");
        walker.emplace(component, archive->Stream());
    } catch (...) {
        return ReportCurrentException(path);
    }

    EntrySelection selection(options.Selection);
    Progress progress(stderr, Progress::ShouldShow(options.Quiet));
    component.SetOnShowProgress(progress.Handler());
    std::size_t tested = 0;
    std::size_t failed = 0;
    bool damaged = false;
    try {
        ArchiveEntry entry;
        while (walker->Next(entry)) {
            CheckStandardOutput();  // nobody reads the verdicts any more: stop
            if (!selection.Select(options.Names.DecodeForDisplay(entry.Name))) {
                walker->Skip(entry);
                continue;
            }
            const std::string name = ShownName(options.Names, entry.Name);
            ++tested;
            TNullStream nowhere;
            progress.Start(name);
            try {
                walker->Expand(entry, nowhere);
                progress.Finish();
                std::cout << "OK      " << name << '\n';
            } catch (...) {
                progress.Finish();
                ++failed;
                std::cout << "FAILED  " << name << '\n' << std::flush;
                ReportCurrentException(path + ": " + name);
                walker->SeekPastEntry(entry);
            }
        }
    } catch (...) {
        // The walk itself cannot go on (an entry header that cannot be right).
        progress.Finish();
        std::cout.flush();
        ReportCurrentException(path);
        damaged = true;
    }
    const std::string truncation = damaged ? std::string() : archive->TruncationProblem(*walker);
    const bool truncated = !truncation.empty();
    if (truncated) {
        std::cout.flush();
        ReportError(path, truncation);
    }
    std::cout << TestSummary(tested, failed, truncated, damaged) << '\n' << std::flush;
    int exitCode = failed == 0 && !truncated && !damaged ? kExitOk : kExitDataError;
    for (const std::string& pattern : selection.Unmatched()) {
        ReportError(path, pattern + ": no such entry");
        exitCode = kExitDataError;
    }
    return exitCode;
}

}  // namespace

void RegisterTestCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<TestOptions>();
    CLI::App* cmd = app.add_subcommand("test", "Verify an archive: expand its entries to nowhere and check each checksum");
    AddArchiveInputOptions(*cmd, o->Input);
    AddCodePageOption(*cmd, o->Names);
    AddSelectionOptions(*cmd, o->Selection, "Entries to test (default: all)");
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunTest(*o);
    });
}

}  // namespace qvx::cli
