#include "commands/Create.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/Exceptions.h>

#include "platform/AtomicFile.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "archive/EntryPipeline.h"
#include "cli/ErrorReport.h"
#include "platform/FileStreams.h"
#include "cli/Progress.h"
#include "archive/StampPolicy.h"
#include "cli/StandardStreams.h"
#include "platform/Terminal.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

// Writes the archive of the files to the stream.
void WriteArchive(TStream& stream, const CreateOptions& options, const std::vector<SourceFile>& files) {
    Progress progress(stderr, Progress::ShouldShow(options.Quiet));
    // With one worker, the writer compresses each entry itself; a large LH5 entry then searches its
    // stream on the -j threads (this one's share held here, the others taken while free).
    const unsigned threads = EntryPipeline::ThreadsFor(options.Jobs);
    ThreadBudget budget(static_cast<int>(threads));
    std::optional<ThreadBudgetShare> mine;
    ArchiveWriter writer(stream, options.Method, progress.Handler(), kNoYield);
    // Several entries are compressed at once by workers; the writer takes them in order.
    const unsigned workers = EntryPipeline::WorkersFor(options.Jobs, files.size(), options.Method);
    std::unique_ptr<EntryPipeline> pipeline;
    if (workers == 1 && threads > 1) {
        mine.emplace(budget);
        writer.UseThreads(&budget);
    }
    if (workers > 1) {
        std::vector<EntryPipeline::Job> work;
        for (const SourceFile& file : files) work.push_back({file.Name, file.Path, file.Size});
        pipeline = std::make_unique<EntryPipeline>(std::move(work), options.Method, workers);
    }
    for (const SourceFile& file : files) {
        EntryInfo info;
        info.Name = file.Name;
        info.Stamp = file.Stamp;
        info.Attributes = file.Attributes;
        try {
            std::int64_t sourceEnd = 0;
            if (pipeline) {
                progress.Start(file.ShownName);
                sourceEnd = pipeline->AddNextTo(writer, info, [&](std::int32_t p) { progress.Update(p); });
            } else {
                const auto source = OpenReadFile(file.Path);
                progress.Start(file.ShownName);
                writer.AddEntry(info, *source, file.Size);
                sourceEnd = source->Position();
            }
            progress.Finish();
            if (sourceEnd != file.Size) throw FileError(file.Path, "file changed while being archived");
        } catch (const EInvalidSize& e) {
            throw FileError(file.Path, e.Message());
        } catch (const EReadError& e) {
            throw FileError(file.Path, e.Message() + " (file changed while being archived?)");
        }
        if (options.Verbose) (options.Archive == "-" ? std::cerr : std::cout) << file.ShownName << '\n';
    }
    writer.Finish();
}

}  // namespace

void ReportWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) ReportError("", "warning: " + w);
}

int RunCreate(const CreateOptions& options) {
    const bool toOutput = options.Archive == "-";
    try {
        if (toOutput && !options.Force && StandardOutputIsTerminal())
            throw FileError("-", "refusing to write an archive to a terminal (use -f to write it anyway)");
        TreeOptions tree;
        tree.Base = options.Directory;
        tree.Paths = options.Paths;
        tree.Excluded = toOutput ? std::string() : options.Archive;
        tree.Links = options.Links;
        tree.Names = options.Names;
        tree.Stamps = MakeStampPolicy(options.Utc, options.MTime, std::getenv("SOURCE_DATE_EPOCH"));
        const SourceTree source = CollectSourceTree(tree);
        const std::vector<SourceFile>& files = source.Files;
        if (!files.empty() && files.back().Size == 0)
            throw FileError(options.Archive,
                            "an archive of only empty files cannot be read back (add a non-empty file)");
        ReportWarnings(source.Warnings);

        if (toOutput) {
            // The writer goes back to the header at the end: through a temporary file.
            const auto temp = AnonymousTemporaryFile("qvx-create");
            WriteArchive(*temp, options, files);
            temp->SetPosition(0);
            BinaryStandardOutput()->CopyFrom(*temp, temp->Size());
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
    command.add_option("--mtime", *options.MTime,
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
