// qvx list: the entries of an archive (all, or those the patterns select) as a table, or as JSON,
// each written as it is read.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "commands/Commands.h"
#include "commands/SelectedEntries.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "cli/ErrorReport.h"
#include "archive/ListFormat.h"
#include "cli/StandardStreams.h"

namespace qvx::cli {

namespace {

struct ListOptions {
    ArchiveInputOptions Input;
    SelectionOptions Selection;
    bool Json = false;
    CodePage Names = CodePage::Default();
    bool Utc = false;
};

int RunList(const ListOptions& options) {
    const std::string& path = options.Input.Path;
    const std::unique_ptr<ListingWriter> writer = options.Json ? JsonListing(std::cout) : TableListing(std::cout);
    bool begun = false;
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        // Listing needs no codec: a header naming a custom method is listed as it is.
        component.SetOnRecognize([](const std::string&, bool& recognized) { recognized = true; });
        SelectedEntries entries(component, options.Input, options.Selection, options.Names);
        ArchiveWalker& walker = entries.Walker();
        ListingHeader header;
        header.Archive = path;
        header.MethodId = walker.MethodId();
        // A short file reads as an empty archive whose identifier means nothing.
        std::erase(header.MethodId, '\0');
        header.TotalSize = walker.Header().TotalSize;
        header.Names = options.Names;
        header.Utc = options.Utc;
        writer->Begin(header);
        begun = true;
        entries.Walk({
            // Nobody reads the listing any more: stop reading the archive.
            .Each = [](const ArchiveEntry&) { CheckStandardOutput(); },
            .Selected =
                [&](const ArchiveEntry& entry) {
                    writer->Entry(entry);
                    walker.Skip(entry);
                },
        });
        // The listing is written all the same: it shows what is left.
        const std::string truncation = entries.TruncationProblem();
        writer->End(truncation);
        int exitCode = kExitOk;
        if (!truncation.empty()) {
            ReportError(path, truncation);
            exitCode = kExitDataError;
        }
        return entries.ReportUnmatched(exitCode);
    } catch (...) {
        const auto line = DescribeCurrentException(path);
        if (!line) return kExitDataError;  // standard output is lost
        if (begun) writer->End(line->File == path ? line->Message : line->File + ": " + line->Message);
        ReportError(line->File, line->Message);
        return kExitDataError;
    }
}

}  // namespace

void RegisterListCommand(CLI::App& app, CommandRegistry& registry) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "List the entries of an archive");
    cmd->add_flag("--json", o->Json, "Print the listing as JSON");
    AddCodePageOption(*cmd, o->Names);
    cmd->add_flag("--utc", o->Utc, "The stored times are UTC: show them in local time");
    AddArchiveInputOptions(*cmd, o->Input);
    AddSelectionOptions(*cmd, o->Selection, "Entries to list (default: all)");
    registry.Add(cmd, [o] { return RunList(*o); });
}

}  // namespace qvx::cli
