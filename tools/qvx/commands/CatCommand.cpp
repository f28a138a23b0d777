// qvx cat: expands the entries the patterns select to standard output, in archive order.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "commands/ArchiveInput.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "archive/EntrySelection.h"
#include "cli/ErrorReport.h"
#include "cli/Progress.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"

namespace qvx::cli {

namespace {

struct CatOptions {
    ArchiveInputOptions Input;
    SelectionOptions Selection;
    bool Quiet = false;
    CodePage Names = CodePage::Default();
};

// Expands every selected entry to stdout; an entry given by its name is expanded as often as the
// archive holds it, as ExpandEntryByName does.
int RunCat(const CatOptions& options) {
    EntrySelection selection(options.Selection);
    try {
        TQuorvexCompress component;
        SetUpReadingComponent(component, options.Input);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        const auto out = BinaryStandardOutput();
        OpenedArchive archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, archive.Stream());
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            if (!selection.Select(options.Names.DecodeForDisplay(entry.Name))) {
                walker.Skip(entry);
                continue;
            }
            const std::string name = ShownName(options.Names, entry.Name);
            progress.Start(name);
            try {
                ExpandEntry(walker, entry, *out);
            } catch (const ETruncatedArchive&) {
                throw;  // read forward, the input ended inside this entry: the archive's fault, as for a file
            } catch (const qvx::Exception& e) {
                throw FileError(options.Input.Path + ": " + name, e.Message());
            }
            progress.Finish();
        }
        if (const std::string truncation = archive.TruncationProblem(walker); !truncation.empty())
            throw FileError(options.Input.Path, truncation);
    } catch (...) {
        return ReportCurrentException(options.Input.Path);
    }
    int exitCode = kExitOk;
    for (const std::string& pattern : selection.Unmatched()) {
        ReportError(options.Input.Path, pattern + ": no such entry");
        exitCode = kExitDataError;
    }
    return exitCode;
}

}  // namespace

void RegisterCatCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<CatOptions>();
    CLI::App* cmd = app.add_subcommand("cat", "Expand entries to standard output, in archive order");
    AddArchiveInputOptions(*cmd, o->Input);
    AddCodePageOption(*cmd, o->Names);
    AddStoredChecksumOption(*cmd, o->Input);
    AddSelectionOptions(*cmd, o->Selection, "Entries to write (at least one)");
    cmd->get_option("PATTERN")->required();
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunCat(*o);
    });
}

}  // namespace qvx::cli
