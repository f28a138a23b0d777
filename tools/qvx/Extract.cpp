#include "Extract.h"

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "AtomicFile.h"
#include "Cli.h"
#include "CodePageOption.h"
#include "EntrySelection.h"
#include "ErrorReport.h"
#include "Progress.h"
#include "SafePath.h"
#include "ShownText.h"
#include "StampPolicy.h"
#include "WindowsNames.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

namespace fs = std::filesystem;
using platform::FileType;
using platform::PathFromUtf8;
using platform::Utf8Path;

constexpr std::uint16_t kReadOnlyAttribute = 0x01;

// Creates the directories between base and the file named by the components; an existing
// component must be a real directory (never a symbolic link), so the file stays below base.
fs::path PrepareTarget(const fs::path& base, const std::vector<std::string>& components) {
    fs::path path = base;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        path /= PathFromUtf8(components[i]);
        const std::string name = Utf8Path(path);
        const int error = platform::MakeDirectory(name);
        if (error == 0) continue;
        platform::FileStatus st;
        if (error == EEXIST && platform::GetStatus(name, st, platform::Links::DoNotFollow) == 0) {
            if (st.Type == FileType::Directory) continue;
            throw FileError(name, st.Type == FileType::SymbolicLink ? "Refusing to follow a symbolic link"
                                                                    : SystemMessage(ENOTDIR));
        }
        ThrowSystemError(name, error);
    }
    return path / PathFromUtf8(components.back());
}

// The components of the file an entry name gives, or std::nullopt with the reason it is refused:
// bytes the code page does not define, a name that would leave the directory (SafePath.h), one
// Windows cannot hold or one equal to an earlier entry's ignoring case (WindowsNames.h).
std::optional<std::vector<std::string>> FileComponents(const std::string& stored, CodePage names,
                                                        NameCollisions& taken, std::string* reason) {
    const auto name = names.Decode(stored);
    if (!name) {
        *reason = "bytes that code page " + names.Name() + " does not define";
        return std::nullopt;
    }
    auto components = SplitEntryName(*name, reason);
    if (!components) return std::nullopt;
    *reason = WindowsNameProblem(*components);
    if (!reason->empty()) return std::nullopt;
    std::string earlier;
    if (!taken.Take(*name, &earlier)) {
        *reason = CollisionMessage(earlier);
        return std::nullopt;
    }
    return components;
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    int exitCode = kExitOk;
    try {
        const fs::path base = options.Directory.empty() ? fs::path(".") : PathFromUtf8(options.Directory);
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        OpenedArchive archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, archive.Stream());
        fs::create_directories(base);

        EntrySelection selection(options.Selection);
        NameCollisions taken;
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            if (!selection.Select(options.Names.DecodeForDisplay(entry.Name))) {
                walker.Skip(entry);
                continue;
            }
            const std::string name = ShownName(options.Names, entry.Name);
            std::string reason;
            const auto components = FileComponents(entry.Name, options.Names, taken, &reason);
            if (!components) {
                ReportError(options.Input.Path, name + ": refused unsafe entry name (" + reason + ")");
                exitCode = kExitDataError;
                walker.Skip(entry);
                continue;
            }
            fs::path target;
            try {
                target = PrepareTarget(base, *components);
                platform::FileStatus st;
                if (!options.Force && platform::GetStatus(Utf8Path(target), st, platform::Links::DoNotFollow) == 0)
                    throw FileError(Utf8Path(target), "File exists (use -f to overwrite)");
                AtomicFile out(target);
                progress.Start(name);
                try {
                    walker.Expand(entry, out.Stream());
                } catch (const FileError&) {
                    throw;
                } catch (const qvx::Exception& e) {
                    throw FileError(options.Input.Path + ": " + name, e.Message());
                }
                progress.Finish();
                out.SetReadOnly((entry.Header.Attributes & kReadOnlyAttribute) != 0);
                out.SetAttributes(entry.Header.Attributes);  // hidden, system, archive: kept on Windows
                const std::time_t mtime = StampTime(DosStamp{entry.Header.FileTime, entry.Header.FileDate}, options.Utc);
                if (mtime != static_cast<std::time_t>(-1)) out.SetModificationTime(mtime);
                out.Commit(options.Force);
                if (options.Verbose) std::cout << ShownText(Utf8Path(target)) << '\n';
            } catch (...) {
                progress.Finish();
                exitCode = ReportCurrentException(target.empty() ? options.Input.Path : Utf8Path(target));
                walker.SeekPastEntry(entry);
            }
        }
        if (const std::string truncation = archive.TruncationProblem(walker); !truncation.empty()) {
            ReportError(options.Input.Path, truncation);
            exitCode = kExitDataError;
        }
        for (const std::string& pattern : selection.Unmatched()) {
            ReportError(options.Input.Path, pattern + ": no such entry");
            exitCode = kExitDataError;
        }
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
    AddCodePageOption(*cmd, o->Names);
    cmd->add_flag("--utc", o->Utc, "The stored times are UTC (default: local time)");
    AddArchiveInputOptions(*cmd, o->Input);
    AddSelectionOptions(*cmd, o->Selection, "Entries to extract (default: all)");
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunExtract(*o);
    });
}

}  // namespace qvx::cli
