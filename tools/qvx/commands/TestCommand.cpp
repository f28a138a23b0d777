// qvx test: is the file a good archive? Expands every entry (or those the patterns select) to
// nowhere with the library's checks (checksums, sizes, the archive cut short). A setup file's first
// block must also hold the engine, once and not empty, as the launcher and setup test demand. A
// file too short for an archive header, or one that does not start with the archive magic, is "not
// an archive": the library reads a short stream as an empty archive, but test is asked about the
// file.
#include <iostream>
#include <memory>
#include <optional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "EngineEntry.h"
#include "commands/Commands.h"
#include "commands/SelectedEntries.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "cli/ErrorReport.h"
#include "cli/Progress.h"
#include "setup/SetupFile.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"

namespace qvx::cli {

namespace {

struct TestOptions {
    ArchiveInputOptions Input;
    SelectionOptions Selection;
    bool Quiet = false;
    CodePage Names = CodePage::Default();
};

std::string Entries(std::size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

// The summary line of a test: the entries tested, failed and not verified, then what is wrong with
// the archive as a whole.
std::string TestSummary(std::size_t tested, std::size_t failed, std::size_t unverified, bool truncated, bool damaged) {
    std::string line;
    if (failed > 0) line = std::to_string(failed) + " of " + Entries(tested) + " failed";
    if (unverified > 0)
        line +=
            (line.empty() ? std::to_string(unverified) + " of " + Entries(tested) : ", " + std::to_string(unverified)) +
            " not verified (custom method)";
    if (line.empty()) {
        if (tested == 0)
            line = "No entries";
        else if (truncated || damaged)
            line = Entries(tested) + " OK";
        else
            line = "All " + Entries(tested) + " OK";
    }
    if (truncated) line += "; archive is truncated";
    if (damaged) line += "; archive is damaged";
    return line;
}

// Expands the selected entries to nowhere; a failed entry is reported and the walk goes on behind
// it. Entries of a custom method cannot be verified: they are named as such, not as damaged.
int RunTest(const TestOptions& options) {
    const std::string& path = options.Input.Path;
    TQuorvexCompress component;
    SetUpReadingComponent(component, options.Input);
    std::optional<SelectedEntries> entries;
    try {
        entries.emplace(component, options.Input, options.Selection, options.Names, WalkSettings{.WholeHeader = true});
    } catch (...) {
        return ReportCurrentException(path);
    }
    ArchiveWalker& walker = entries->Walker();

    Progress progress(stderr, Progress::ShouldShow(options.Quiet));
    component.SetOnShowProgress(progress.Handler());
    std::size_t tested = 0;
    std::size_t failed = 0;
    std::size_t unverified = 0;
    bool truncated = false;
    bool damaged = false;
    std::size_t engines = 0;  // entries of the engine's name, selected or not, and their size
    std::int64_t engineSize = 0;
    try {
        entries->Walk({
            .Each =
                [&](const ArchiveEntry& entry) {
                    CheckStandardOutput();  // nobody reads the verdicts any more: stop
                    if (SameEntryName(entry.Name, launcher::kEngineEntryName)) {
                        ++engines;
                        engineSize += entry.Header.ExpandedSize;
                    }
                },
            .Selected =
                [&](const ArchiveEntry& entry) {
                    const std::string name = ShownName(options.Names, entry.Name);
                    ++tested;
                    TNullStream nowhere;
                    progress.Start(name);
                    try {
                        ExpandEntry(walker, entry, nowhere);
                        progress.Finish();
                        std::cout << "OK      " << name << '\n';
                    } catch (const ETruncatedArchive&) {
                        // Read forward, the input ended inside this entry: the walk's fault, as for a file.
                        throw;
                    } catch (const ECustomMethodUnavailable&) {
                        progress.Finish();
                        ++unverified;
                        std::cout << "SKIPPED " << name << '\n' << std::flush;
                        ReportError(path + ": " + name, "entry uses a custom method that qvx cannot verify");
                        walker.SeekPastEntry(entry);
                    } catch (...) {
                        progress.Finish();
                        ++failed;
                        std::cout << "FAILED  " << name << '\n' << std::flush;
                        ReportCurrentException(path + ": " + name);
                        walker.SeekPastEntry(entry);
                    }
                },
        });
    } catch (...) {
        // The walk itself cannot go on: the archive is cut, or its sizes cannot be right.
        progress.Finish();
        std::cout.flush();
        try {
            throw;
        } catch (const ETruncatedArchive&) {
            truncated = true;
        } catch (...) {
            damaged = true;
        }
        ReportCurrentException(path);
    }
    if (!truncated && !damaged) {
        // Read forward, an entry skipped past the input's end shows only when the walk is over.
        if (const std::string truncation = entries->TruncationProblem(); !truncation.empty()) {
            truncated = true;
            std::cout.flush();
            ReportError(path, truncation);
        }
    }
    // The first block of a setup file must give the launcher its engine, as setup test demands.
    const std::string engineProblem = entries->Archive().SetupBlock() == 1 && !truncated && !damaged
                                          ? setup::EngineEntryProblem(engines, engineSize)
                                          : std::string();
    if (!engineProblem.empty()) ReportError(path, engineProblem);
    std::cout << TestSummary(tested, failed, unverified, truncated, damaged)
              << (engineProblem.empty() ? "" : "; " + engineProblem) << '\n'
              << std::flush;
    return entries->ReportUnmatched(
        failed == 0 && unverified == 0 && !truncated && !damaged && engineProblem.empty() ? kExitOk : kExitDataError);
}

}  // namespace

void RegisterTestCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<TestOptions>();
    CLI::App* cmd =
        app.add_subcommand("test", "Verify an archive: expand its entries to nowhere and check each checksum");
    AddArchiveInputOptions(*cmd, o->Input);
    AddCodePageOption(*cmd, o->Names);
    AddStoredChecksumOption(*cmd, o->Input);
    AddSelectionOptions(*cmd, o->Selection, "Entries to test (default: all)");
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunTest(*o);
    });
}

}  // namespace qvx::cli
