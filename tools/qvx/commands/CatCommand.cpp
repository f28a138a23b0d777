// qvx cat: expands the entries the patterns select to standard output, in archive order.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "commands/Commands.h"
#include "commands/SelectedEntries.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
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
    try {
        TQuorvexCompress component;
        SetUpReadingComponent(component, options.Input);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        const auto out = BinaryStandardOutput();
        SelectedEntries entries(component, options.Input, options.Selection, options.Names);
        ArchiveWalker& walker = entries.Walker();
        entries.Walk({.Selected = [&](const ArchiveEntry& entry) {
            const std::string name = ShownName(options.Names, entry.Name);
            progress.Start(name);
            ExpandEntryTo(walker, entry, *out, options.Input.Path + ": " + name);
            progress.Finish();
        }});
        if (const std::string truncation = entries.TruncationProblem(); !truncation.empty())
            throw platform::FileError(options.Input.Path, truncation);
        return entries.ReportUnmatched(kExitOk);
    } catch (...) {
        return ReportCurrentException(options.Input.Path);
    }
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
