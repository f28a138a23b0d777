#include "Create.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>

#include "AtomicFile.h"
#include "Cli.h"
#include "EntryPipeline.h"
#include "ErrorReport.h"
#include "FileStreams.h"
#include "Progress.h"
#include "SafePath.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

namespace fs = std::filesystem;
using platform::FileStatus;
using platform::FileType;
using platform::PathFromUtf8;
using platform::Utf8Path;

constexpr std::uint16_t kArchiveAttribute = 0x20;
constexpr std::uint16_t kReadOnlyAttribute = 0x01;

struct FileId {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool Valid = false;
};

FileId IdOf(const std::string& path) {
    FileStatus st;
    if (platform::GetStatus(path, st) != 0) return {};
    return FileId{st.Device, st.Identity, true};
}

class Collector {
public:
    Collector(fs::path base, FileId excluded) : base_(std::move(base)), excluded_(excluded) {}

    // relative: the path below base, lexically normal, without "." or ".." components.
    void Add(const fs::path& relative) {
        const fs::path path = (base_ / relative).lexically_normal();
        FileStatus st;
        if (const int error = platform::GetStatus(Utf8Path(path), st); error != 0) ThrowSystemError(Utf8Path(path), error);
        if (st.Type == FileType::Directory) {
            AddDirectory(relative);
        } else if (st.Type == FileType::Regular) {
            AddFile(relative, path, st);
        } else {
            throw FileError(Utf8Path(path), "Not a regular file or directory");
        }
    }

    std::vector<SourceFile> Take() { return std::move(files_); }

private:
    void AddDirectory(const fs::path& relative) {
        const fs::path path = (base_ / relative).lexically_normal();
        std::vector<std::string> names;
        if (const int error = platform::ListDirectory(Utf8Path(path), names); error != 0)
            ThrowSystemError(Utf8Path(path), error);
        std::vector<fs::path> children;
        for (const std::string& name : names) children.push_back(PathFromUtf8(name));
        std::sort(children.begin(), children.end());
        for (const fs::path& name : children) {
            const fs::path childRelative = relative.empty() ? name : relative / name;
            const fs::path childPath = (base_ / childRelative).lexically_normal();
            const std::string child = Utf8Path(childPath);
            FileStatus lst;
            if (const int error = platform::GetStatus(child, lst, platform::Links::DoNotFollow); error != 0)
                ThrowSystemError(child, error);
            FileStatus st;
            if (const int error = platform::GetStatus(child, st); error != 0) ThrowSystemError(child, error);
            if (st.Type == FileType::Directory) {
                // A linked directory is not followed: it could lead back up the tree.
                if (lst.Type == FileType::SymbolicLink) {
                    ReportError(child, "skipped (symbolic link to a directory)");
                    continue;
                }
                AddDirectory(childRelative);
            } else if (st.Type == FileType::Regular) {
                AddFile(childRelative, childPath, st);
            } else {
                ReportError(child, "skipped (not a regular file)");
            }
        }
    }

    void AddFile(const fs::path& relative, const fs::path& path, const FileStatus& st) {
        if (excluded_.Valid && st.Device == excluded_.Device && st.Identity == excluded_.Inode) return;
        std::vector<std::string> components;
        for (const fs::path& part : relative) components.push_back(Utf8Path(part));
        const std::string name = JoinEntryName(components);
        // The name must read back as the same components: a "\\" inside a file name would become a
        // directory on extraction.
        std::string reason;
        const auto split = SplitEntryName(name, &reason);
        if (split && *split != components) reason = "'\\' in a file name";
        if (!split || *split != components)
            throw FileError(Utf8Path(path), "cannot be archived as \"" + name + "\" (" + reason + ")");
        if (!names_.insert(name).second) return;  // named twice on the command line
        SourceFile file;
        file.Name = name;
        file.Path = Utf8Path(path);
        file.Size = st.Size;
        file.ModificationTime = st.ModificationTime;
        file.ReadOnly = st.ReadOnly;
        files_.push_back(std::move(file));
    }

    fs::path base_;
    FileId excluded_;
    std::vector<SourceFile> files_;
    std::set<std::string> names_;
};

}  // namespace

std::vector<SourceFile> CollectSourceFiles(const std::string& base, const std::vector<std::string>& paths,
                                           const std::string& excluded) {
    const fs::path basePath = base.empty() ? fs::path(".") : PathFromUtf8(base);
    Collector collector(basePath, IdOf(excluded));
    for (const std::string& given : paths) {
        const fs::path normal = PathFromUtf8(given).lexically_normal();
        if (normal.is_absolute() || (!normal.empty() && *normal.begin() == ".."))
            throw FileError(given, "lies outside the base directory " + Utf8Path(basePath));
        fs::path relative;
        for (const fs::path& part : normal)
            if (part != "." && !part.empty()) relative /= part;
        collector.Add(relative);
    }
    return collector.Take();
}

void SortForArchive(std::vector<SourceFile>& files) {
    std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) {
        const bool aEmpty = a.Size == 0;
        const bool bEmpty = b.Size == 0;
        if (aEmpty != bEmpty) return aEmpty;
        return a.Name < b.Name;
    });
}

int RunCreate(const CreateOptions& options) {
    try {
        std::vector<SourceFile> files = CollectSourceFiles(options.Directory, options.Paths, options.Archive);
        SortForArchive(files);
        if (!files.empty() && files.back().Size == 0)
            throw FileError(options.Archive,
                            "an archive of only empty files cannot be read back (add a non-empty file)");

        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        AtomicFile out(PathFromUtf8(options.Archive));
        ArchiveWriter writer(out.Stream(), options.Method, progress.Handler(), kNoYield);
        // Several entries are compressed at once by workers; the writer takes them in order.
        const unsigned workers = EntryPipeline::WorkersFor(options.Jobs, files.size(), options.Method);
        std::unique_ptr<EntryPipeline> pipeline;
        if (workers > 1) {
            std::vector<EntryPipeline::Job> work;
            for (const SourceFile& file : files) work.push_back({file.Name, file.Path, file.Size});
            pipeline = std::make_unique<EntryPipeline>(std::move(work), options.Method, workers);
        }
        for (const SourceFile& file : files) {
            EntryInfo info;
            info.Name = file.Name;
            info.Stamp = ToDosStamp(file.ModificationTime);
            info.Attributes = static_cast<std::uint16_t>(kArchiveAttribute | (file.ReadOnly ? kReadOnlyAttribute : 0));
            try {
                std::int64_t sourceEnd = 0;
                if (pipeline) {
                    progress.Start(file.Name);
                    sourceEnd = pipeline->AddNextTo(writer, info, [&](std::int32_t p) { progress.Update(p); });
                } else {
                    const auto source = OpenReadFile(file.Path);
                    progress.Start(file.Name);
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
            if (options.Verbose) std::cout << file.Name << '\n';
        }
        writer.Finish();
        out.Commit(true);
    } catch (...) {
        return ReportCurrentException(options.Archive);
    }
    return kExitOk;
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
    cmd->add_option("ARCHIVE", o->Archive, "Archive file to write")->required();
    cmd->add_option("PATH", o->Paths, "Files and directories to archive")->required();
    registry.Add(cmd, [o, method, &global] {
        o->Quiet = global.quiet;
        o->Method = kArchiveMethods.at(AsciiLower(*method));
        return RunCreate(*o);
    });
}

}  // namespace qvx::cli
