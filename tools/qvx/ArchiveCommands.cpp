// The archive commands: list, test, cat, extract and create.
#include <iostream>
#include <map>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/FileStream.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "Cli.h"
#include "Create.h"
#include "ErrorReport.h"
#include "Extract.h"
#include "FdStream.h"
#include "ListFormat.h"
#include "Progress.h"

namespace qvx::cli {

namespace {

struct ListOptions {
    std::string Archive;
    bool Json = false;
};

int RunList(const ListOptions& options) {
    Listing listing;
    listing.Archive = options.Archive;
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        TFileStream archive(options.Archive, FileMode::ReadShared);
        ArchiveWalker walker(component, archive);
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
        return ReportCurrentException(options.Archive);
    }
    if (options.Json) {
        std::cout << ListingJson(listing).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else {
        PrintListingTable(std::cout, listing);
    }
    std::cout.flush();
    return kExitOk;
}

struct TestOptions {
    std::string Archive;
    bool Quiet = false;
};

// Expands every entry to nowhere; a failed entry is reported and the walk goes on behind it.
int RunTest(const TestOptions& options) {
    std::size_t tested = 0;
    std::size_t failed = 0;
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        TFileStream archive(options.Archive, FileMode::ReadShared);
        ArchiveWalker walker(component, archive);
        std::int64_t sum = 0;
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            ++tested;
            sum += entry.Header.ExpandedSize;
            TNullStream nowhere;
            progress.Start(entry.Name);
            try {
                walker.Expand(entry, nowhere);
                progress.Finish();
                std::cout << "OK      " << entry.Name << '\n';
            } catch (...) {
                progress.Finish();
                ++failed;
                std::cout << "FAILED  " << entry.Name << '\n' << std::flush;
                ReportCurrentException(options.Archive + ": " + entry.Name);
                walker.SeekPastEntry(entry);
            }
        }
        if (sum < walker.Header().TotalSize) {
            ++failed;
            ReportError(options.Archive, "archive is truncated: its entries hold " + std::to_string(sum) +
                                             " of " + std::to_string(walker.Header().TotalSize) + " bytes");
        }
    } catch (...) {
        std::cout.flush();
        return ReportCurrentException(options.Archive);
    }
    if (failed == 0)
        std::cout << "All " << tested << (tested == 1 ? " entry" : " entries") << " OK\n";
    else
        std::cout << failed << " of " << tested << (tested == 1 ? " entry" : " entries") << " failed\n";
    std::cout.flush();
    return failed == 0 ? kExitOk : kExitDataError;
}

struct CatOptions {
    std::string Archive;
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
        WalkArchive(component, options.Archive, [&](const ArchiveEntry& entry) -> TStream* {
            if (!SameEntryName(entry.Name, options.Name)) return nullptr;
            ++matches;
            progress.Start(entry.Name);
            return &out;
        });
        progress.Finish();
        if (matches == 0) throw FileError(options.Archive, options.Name + ": no such entry");
    } catch (...) {
        return ReportCurrentException(options.Archive);
    }
    return kExitOk;
}

const std::map<std::string, CompressMethod> kArchiveMethods = {{"non", cmNON}, {"lzh", cmLZH}, {"lh5", cmLH5}};

}  // namespace

void RegisterArchiveCommands(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;

    {
        auto o = std::make_shared<ListOptions>();
        CLI::App* cmd = app.add_subcommand("list", "List the entries of an archive");
        cmd->add_flag("--json", o->Json, "Print the listing as JSON");
        cmd->add_option("ARCHIVE", o->Archive, "Archive file")->required();
        registry.Add(cmd, [o] { return RunList(*o); });
    }
    {
        auto o = std::make_shared<TestOptions>();
        CLI::App* cmd = app.add_subcommand("test", "Expand every entry to nowhere and verify its checksum");
        cmd->add_option("ARCHIVE", o->Archive, "Archive file")->required();
        registry.Add(cmd, [o, &global] {
            o->Quiet = global.quiet;
            return RunTest(*o);
        });
    }
    {
        auto o = std::make_shared<CatOptions>();
        CLI::App* cmd = app.add_subcommand("cat", "Expand every entry of a name to standard output");
        cmd->add_option("ARCHIVE", o->Archive, "Archive file")->required();
        cmd->add_option("NAME", o->Name, "Entry name (ASCII letters match without case)")->required();
        registry.Add(cmd, [o, &global] {
            o->Quiet = global.quiet;
            return RunCat(*o);
        });
    }
    {
        auto o = std::make_shared<ExtractOptions>();
        CLI::App* cmd = app.add_subcommand("extract", "Extract entries to files");
        cmd->add_option("-C,--directory", o->Directory, "Directory to extract into (default: .)");
        cmd->add_flag("-f,--force", o->Force, "Replace existing files");
        cmd->add_flag("-v,--verbose", o->Verbose, "Print the path of every file written");
        cmd->add_option("ARCHIVE", o->Archive, "Archive file")->required();
        cmd->add_option("NAME", o->Names, "Entries to extract (default: all)");
        registry.Add(cmd, [o, &global] {
            o->Quiet = global.quiet;
            return RunExtract(*o);
        });
    }
    {
        auto o = std::make_shared<CreateOptions>();
        auto method = std::make_shared<std::string>("lh5");
        CLI::App* cmd = app.add_subcommand("create", "Create an archive from files and directories");
        cmd->add_option("-m,--method", *method, "Compression method: non, lzh or lh5 (default: lh5)")
            ->check(CLI::IsMember({"non", "lzh", "lh5"}, CLI::ignore_case));
        cmd->add_option("-C,--directory", o->Directory, "Base directory: paths and entry names are relative to it");
        cmd->add_flag("-v,--verbose", o->Verbose, "Print the name of every entry written");
        cmd->add_option("-j,--jobs", o->Jobs, "Entries compressed at once (default: one per processor, at most 8)")
            ->check(CLI::Range(1u, 256u));
        cmd->add_option("ARCHIVE", o->Archive, "Archive file to write")->required();
        cmd->add_option("PATH", o->Paths, "Files and directories to archive")->required();
        registry.Add(cmd, [o, method, &global] {
            o->Quiet = global.quiet;
            o->Method = kArchiveMethods.at(AsciiLower(*method));
            return RunCreate(*o);
        });
    }
}

}  // namespace qvx::cli
