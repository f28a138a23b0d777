// qvx cat: expands every entry of a name to standard output.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "Cli.h"
#include "ErrorReport.h"
#include "FdStream.h"
#include "Progress.h"

namespace qvx::cli {

namespace {

struct CatOptions {
    ArchiveInputOptions Input;
    std::string Name;
    bool Quiet = false;
};

// Expands every entry of the name to stdout, as ExpandEntryByName does.
int RunCat(const CatOptions& options) {
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        std::cout.flush();
        FdStream out = StandardOutput();
        std::size_t matches = 0;
        const auto archive = OpenArchiveInput(options.Input);
        WalkArchive(component, *archive, [&](const ArchiveEntry& entry) -> TStream* {
            if (!SameEntryName(entry.Name, options.Name)) return nullptr;
            ++matches;
            progress.Start(entry.Name);
            return &out;
        });
        progress.Finish();
        if (matches == 0) throw FileError(options.Input.Path, options.Name + ": no such entry");
    } catch (...) {
        return ReportCurrentException(options.Input.Path);
    }
    return kExitOk;
}

}  // namespace

void RegisterCatCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<CatOptions>();
    CLI::App* cmd = app.add_subcommand("cat", "Expand every entry of a name to standard output");
    AddArchiveInputOptions(*cmd, o->Input);
    cmd->add_option("NAME", o->Name, "Entry name (ASCII letters match without case)")->required();
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunCat(*o);
    });
}

}  // namespace qvx::cli
