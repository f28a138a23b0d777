#include "commands/Extract.h"

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "commands/Commands.h"
#include "commands/SelectedEntries.h"
#include "platform/AtomicFile.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "names/EntryNameRules.h"
#include "cli/ErrorReport.h"
#include "archive/ExtractionTree.h"
#include "cli/Progress.h"
#include "names/ShownText.h"
#include "archive/StampPolicy.h"
#include "platform/Utf8.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

namespace fs = std::filesystem;
using platform::FileType;
using platform::PathFromUtf8;
using platform::Utf8Path;

constexpr std::uint16_t kReadOnlyAttribute = 0x01;

}  // namespace

int RunExtract(const ExtractOptions& options, const TShowProgressEvent& observer) {
    int exitCode = kExitOk;
    try {
        const std::string base = options.Directory.empty() ? std::string(".") : options.Directory;
        TQuorvexCompress component;
        SetUpReadingComponent(component, options.Input);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        TShowProgressEvent bar = progress.Handler();
        if (observer) {
            component.SetOnShowProgress([&observer, bar](std::int32_t& percent) {
                observer(percent);
                if (bar) bar(percent);
            });
        } else {
            component.SetOnShowProgress(bar);
        }
        // Entry headers and names are read ahead, without a system call each.
        SelectedEntries entries(component, options.Input, options.Selection, options.Names,
                                WalkSettings{.ReadAhead = true});
        ArchiveWalker& walker = entries.Walker();
        ExtractionTree tree(base);
        std::error_code ec;
        const std::size_t baseLength = Utf16Length(Utf8Path(fs::absolute(PathFromUtf8(base), ec)));

        NameCollisions taken;
        entries.Walk({.Selected = [&](const ArchiveEntry& entry) {
            const std::string name = ShownName(options.Names, entry.Name);
            std::string reason;
            const auto components = EntryNameComponents(entry.Name, options.Names, taken, &reason, baseLength);
            if (!components) {
                ReportError(options.Input.Path, name + ": refused unsafe entry name (" + reason + ")");
                exitCode = kExitDataError;
                walker.Skip(entry);
                return;
            }
            const std::string target = tree.PathOf(*components);
            try {
                const auto directory = tree.Open(*components);
                const std::string& leaf = components->back();
                // What stands under the name is looked at, never opened: a link, a FIFO or a device is
                // replaced with -f, not written through.
                platform::FileStatus st;
                if (directory->ChildStatus(leaf, st) == 0) {
                    if (st.Type == FileType::Directory)
                        throw platform::FileError(target, platform::SystemMessage(EISDIR));
                    if (!options.Force) throw platform::FileError(target, "File exists (use -f to overwrite)");
                }
                AtomicFile out(directory, leaf);
                out.SetSync(options.Sync);
                progress.Start(name);
                ExpandEntryTo(walker, entry, out.Stream(), options.Input.Path + ": " + name);
                progress.Finish();
                out.SetReadOnly((entry.Header.Attributes & kReadOnlyAttribute) != 0);
                out.SetAttributes(entry.Header.Attributes);  // hidden, system, archive: kept on Windows
                const std::time_t mtime =
                    StampTime(DosStamp{entry.Header.FileTime, entry.Header.FileDate}, options.Utc);
                if (mtime != static_cast<std::time_t>(-1)) out.SetModificationTime(mtime);
                out.Commit(options.Force);
                tree.Done();
                if (options.Verbose) std::cout << ShownText(target) << '\n';
            } catch (const ETruncatedArchive&) {
                progress.Finish();
                tree.Undo();
                throw;
            } catch (...) {
                progress.Finish();
                tree.Undo();
                exitCode = ReportCurrentException(target);
                walker.SeekPastEntry(entry);
            }
        }});
        if (const std::string truncation = entries.TruncationProblem(); !truncation.empty()) {
            ReportError(options.Input.Path, truncation);
            exitCode = kExitDataError;
        }
        exitCode = entries.ReportUnmatched(exitCode);
    } catch (...) {
        return ReportCurrentException(options.Input.Path);
    }
    return exitCode;
}

void RegisterExtractCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<ExtractOptions>();
    CLI::App* cmd = app.add_subcommand("extract", "Extract entries to files");
    cmd->add_option("-C,--directory", o->Directory, "Directory to extract into (default: .)");
    cmd->add_flag("-f,--force", o->Force, "Replace existing files");
    cmd->add_flag("-v,--verbose", o->Verbose, "Print the path of every file written");
    cmd->add_flag("--sync", o->Sync, "Write every file through to the disk before it is put in place");
    AddCodePageOption(*cmd, o->Names);
    AddStoredChecksumOption(*cmd, o->Input);
    cmd->add_flag("--utc", o->Utc, "The stored times are UTC (default: local time)");
    AddArchiveInputOptions(*cmd, o->Input);
    AddSelectionOptions(*cmd, o->Selection, "Entries to extract (default: all)");
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunExtract(*o);
    });
}

}  // namespace qvx::cli
