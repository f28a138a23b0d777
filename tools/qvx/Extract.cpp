#include "Extract.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "AtomicFile.h"
#include "Cli.h"
#include "ErrorReport.h"
#include "Progress.h"
#include "SafePath.h"

namespace qvx::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kReadOnlyAttribute = 0x01;

// Creates the directories between base and the file named by the components; an existing
// component must be a real directory (never a symbolic link), so the file stays below base.
fs::path PrepareTarget(const fs::path& base, const std::vector<std::string>& components) {
    fs::path path = base;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        path /= components[i];
        if (::mkdir(path.c_str(), 0777) == 0) continue;
        const int error = errno;
        struct stat st {};
        if (error == EEXIST && ::lstat(path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) continue;
            throw FileError(path.string(), S_ISLNK(st.st_mode) ? "Refusing to follow a symbolic link"
                                                               : SystemMessage(ENOTDIR));
        }
        ThrowSystemError(path.string(), error);
    }
    return path / components.back();
}

bool Wanted(const std::vector<std::string>& names, std::vector<bool>& found, const std::string& name) {
    if (names.empty()) return true;
    bool wanted = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameEntryName(names[i], name)) {
            found[i] = true;
            wanted = true;
        }
    }
    return wanted;
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    int exitCode = kExitOk;
    try {
        const fs::path base = options.Directory.empty() ? fs::path(".") : fs::path(options.Directory);
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        const auto archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, *archive);
        fs::create_directories(base);

        std::vector<bool> found(options.Names.size(), false);
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            if (!Wanted(options.Names, found, entry.Name)) {
                walker.Skip(entry);
                continue;
            }
            std::string reason;
            const auto components = SplitEntryName(entry.Name, &reason);
            if (!components) {
                ReportError(options.Input.Path, entry.Name + ": refused unsafe entry name (" + reason + ")");
                exitCode = kExitDataError;
                walker.Skip(entry);
                continue;
            }
            fs::path target;
            try {
                target = PrepareTarget(base, *components);
                struct stat st {};
                if (!options.Force && ::lstat(target.c_str(), &st) == 0)
                    throw FileError(target.string(), "File exists (use -f to overwrite)");
                AtomicFile out(target);
                progress.Start(entry.Name);
                try {
                    walker.Expand(entry, out.Stream());
                } catch (const FileError&) {
                    throw;
                } catch (const qvx::Exception& e) {
                    throw FileError(options.Input.Path + ": " + entry.Name, e.Message());
                }
                progress.Finish();
                out.SetReadOnly((entry.Header.Attributes & kReadOnlyAttribute) != 0);
                const std::time_t mtime = FromDosStamp(DosStamp{entry.Header.FileTime, entry.Header.FileDate});
                if (mtime != static_cast<std::time_t>(-1)) out.SetModificationTime(mtime);
                out.Commit(options.Force);
                if (options.Verbose) std::cout << target.string() << '\n';
            } catch (...) {
                progress.Finish();
                exitCode = ReportCurrentException(target.empty() ? options.Input.Path : target.string());
                walker.SeekPastEntry(entry);
            }
        }
        for (std::size_t i = 0; i < options.Names.size(); ++i) {
            if (found[i]) continue;
            ReportError(options.Input.Path, options.Names[i] + ": no such entry");
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
    AddArchiveInputOptions(*cmd, o->Input);
    cmd->add_option("NAME", o->Names, "Entries to extract (default: all)");
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunExtract(*o);
    });
}

}  // namespace qvx::cli
