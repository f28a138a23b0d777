// qvx list: the entries of an archive (all, or those the patterns select) as a table, or as JSON.
#include <exception>
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "Cli.h"
#include "CodePageOption.h"
#include "EntrySelection.h"
#include "ErrorReport.h"
#include "ListFormat.h"

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
    Listing listing;
    listing.Archive = options.Input.Path;
    listing.Names = options.Names;
    listing.Utc = options.Utc;
    EntrySelection selection(options.Selection);
    std::exception_ptr walkError;  // the listing is printed all the same: it shows what is there
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        // Listing needs no codec: a header naming a custom method is listed as it is.
        component.SetOnRecognize([](const std::string&, bool& recognized) { recognized = true; });
        const auto archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, *archive);
        listing.MethodId = walker.MethodId();
        // A short file reads as an empty archive whose identifier means nothing.
        std::erase(listing.MethodId, '\0');
        listing.TotalSize = walker.Header().TotalSize;
        try {
            ArchiveEntry entry;
            while (walker.Next(entry)) {
                if (selection.Select(options.Names.DecodeForDisplay(entry.Name))) listing.Entries.push_back(entry);
                walker.Skip(entry);
            }
        } catch (...) {
            walkError = std::current_exception();
        }
    } catch (...) {
        return ReportCurrentException(options.Input.Path);
    }
    if (options.Json) {
        std::cout << ListingJson(listing).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else {
        PrintListingTable(std::cout, listing);
    }
    std::cout.flush();
    int exitCode = kExitOk;
    if (walkError) {
        try {
            std::rethrow_exception(walkError);
        } catch (...) {
            exitCode = ReportCurrentException(options.Input.Path);
        }
    }
    for (const std::string& pattern : selection.Unmatched()) {
        ReportError(options.Input.Path, pattern + ": no such entry");
        exitCode = kExitDataError;
    }
    return exitCode;
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
