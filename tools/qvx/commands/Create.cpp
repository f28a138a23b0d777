#include "commands/Create.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>

#include <instcompress/Exceptions.h>

#include "commands/Commands.h"
#include "platform/AtomicFile.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "archive/SourceArchive.h"
#include "cli/ErrorReport.h"
#include "cli/Progress.h"
#include "archive/StampPolicy.h"
#include "cli/StandardStreams.h"
#include "platform/Terminal.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// Writes the archive of the files to the stream, with a progress bar and, with -v, the name of
// every entry written (to stderr when the archive goes to standard output).
void WriteArchive(TStream& stream, const CreateOptions& options, const std::vector<SourceFile>& files) {
    Progress progress(stderr, Progress::ShouldShow(options.Quiet));
    SourceArchiveOptions archive;
    archive.Method = options.Method;
    archive.Jobs = options.Jobs;
    archive.Events.Adding = [&progress](const SourceFile& file) { progress.Start(file.ShownName); };
    archive.Events.Progress = progress.Handler();
    archive.Events.Added = [&progress, &options](const SourceFile& file) {
        progress.Finish();
        if (options.Verbose) (options.Archive == "-" ? std::cerr : std::cout) << file.ShownName << '\n';
    };
    archive.Events.Failed = [](const SourceFile& file) {
        try {
            throw;
        } catch (const EInvalidSize& e) {
            throw platform::FileError(file.Path, e.Message());
        } catch (const EReadError& e) {
            throw platform::FileError(file.Path, e.Message() + " (file changed while being archived?)");
        } catch (...) {
            // Any other error goes on as it is.
        }
    };
    WriteSourceArchive(stream, files, archive);
}

}  // namespace

void ReportWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) ReportError("", "warning: " + w);
}

int RunCreate(const CreateOptions& options) {
    const bool toOutput = options.Archive == "-";
    try {
        if (toOutput && !options.Force && StandardOutputIsTerminal())
            throw platform::FileError("-", "refusing to write an archive to a terminal (use -f to write it anyway)");
        TreeOptions tree;
        tree.Base = options.Directory;
        tree.Paths = options.Paths;
        tree.Excluded = toOutput ? std::string() : options.Archive;
        tree.Links = options.Links;
        tree.Names = options.Names;
        tree.Stamps = MakeStampPolicy(options.Utc, options.MTime, std::getenv("SOURCE_DATE_EPOCH"));
        const SourceTree source = CollectSourceTree(tree);
        const std::vector<SourceFile>& files = source.Files;
        if (OnlyEmptyFiles(files))
            throw platform::FileError(options.Archive,
                                      "an archive of only empty files cannot be read back (add a non-empty file)");
        ReportWarnings(source.Warnings);

        if (toOutput) {
            WriteThroughTemporaryFile(
                "qvx-create", [&](TStream& temp) { WriteArchive(temp, options, files); }, BinaryStandardOutput);
        } else {
            AtomicFile out(platform::PathFromUtf8(options.Archive));
            WriteArchive(out.Stream(), options, files);
            out.Commit(true);
        }
    } catch (...) {
        return ReportCurrentException(options.Archive);
    }
    return kExitOk;
}

void AddCollectOptions(CLI::App& command, const CollectOptions& options) {
    AddCodePageOption(command, *options.Names);
    LinkPolicy* links = options.Links;
    CLI::Option* follow = command.add_flag_callback(
        "--follow", [links] { *links = LinkPolicy::Follow; }, "Follow every symbolic link, also out of the tree");
    CLI::Option* noFollow = command.add_flag_callback(
        "--no-follow", [links] { *links = LinkPolicy::NoFollow; },
        "Store no symbolic link (default: store what a link points to when it lies inside the tree)");
    follow->excludes(noFollow);
    command.add_flag("--utc", *options.Utc, "Store the times as UTC (default: local time)");
    command
        .add_option("--mtime", *options.MTime,
                    "Store no time later than TIME (@SECONDS or YYYY-MM-DD[THH:MM[:SS]] UTC), as UTC; "
                    "default: SOURCE_DATE_EPOCH if set")
        ->type_name("TIME");
}

namespace {

const std::map<std::string, CompressMethod> kArchiveMethods = {{"non", cmNON}, {"lzh", cmLZH}, {"lh5", cmLH5}};

}  // namespace

void RegisterCreateCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<CreateOptions>();
    auto method = std::make_shared<std::string>("lh5");
    CLI::App* cmd = app.add_subcommand("create", "Create an archive from files and directories");
    cmd->add_option("-m,--method", *method, "Compression method: non, lzh or lh5 (default: lh5)")
        ->check(CLI::IsMember({"non", "lzh", "lh5"}, CLI::ignore_case));
    cmd->add_option("-C,--directory", o->Directory, "Base directory: paths and entry names are relative to it");
    cmd->add_flag("-v,--verbose", o->Verbose, "Print the name of every entry written");
    cmd->add_option("-j,--jobs", o->Jobs, "Entries compressed at once (default: one per processor, at most 8)")
        ->check(CLI::Range(1u, 256u));
    cmd->add_flag("-f,--force", o->Force, "Write the archive to standard output even when it is a terminal");
    AddCollectOptions(*cmd, CollectOptions{&o->Names, &o->Links, &o->Utc, &o->MTime});
    cmd->add_option("ARCHIVE", o->Archive, "Archive file to write (- writes to standard output)")->required();
    cmd->add_option("PATH", o->Paths, "Files and directories to archive")->required();
    registry.Add(cmd, [o, method, &global] {
        o->Quiet = global.quiet;
        o->Method = kArchiveMethods.at(AsciiLower(*method));
        return RunCreate(*o);
    });
}

}  // namespace qvx::cli
