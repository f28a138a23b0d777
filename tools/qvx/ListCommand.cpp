// qvx list: the entries of an archive as a table, or as JSON.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "Cli.h"
#include "ErrorReport.h"
#include "ListFormat.h"

namespace qvx::cli {

namespace {

struct ListOptions {
    ArchiveInputOptions Input;
    bool Json = false;
};

int RunList(const ListOptions& options) {
    Listing listing;
    listing.Archive = options.Input.Path;
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        const auto archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, *archive);
        listing.MethodId = walker.MethodId();
        // A short file reads as an empty archive whose identifier means nothing.
        std::erase(listing.MethodId, '\0');
        listing.TotalSize = walker.Header().TotalSize;
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            listing.Entries.push_back(entry);
            walker.Skip(entry);
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
    return kExitOk;
}

}  // namespace

void RegisterListCommand(CLI::App& app, CommandRegistry& registry) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "List the entries of an archive");
    cmd->add_flag("--json", o->Json, "Print the listing as JSON");
    AddArchiveInputOptions(*cmd, o->Input);
    registry.Add(cmd, [o] { return RunList(*o); });
}

}  // namespace qvx::cli
