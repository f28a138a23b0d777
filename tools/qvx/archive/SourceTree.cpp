#include "archive/SourceTree.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "platform/FileError.h"
#include "names/SafePath.h"
#include "names/WindowsNames.h"
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

FileStatus StatusOf(const std::string& path, platform::Links links) {
    FileStatus st;
    if (const int error = platform::GetStatus(path, st, links); error != 0) platform::ThrowSystemError(path, error);
    return st;
}

// Whether path lies in or below root; both absolute and free of links.
bool Below(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) continue;  // a trailing separator
        if (p == path.end() || *p != *r) return false;
    }
    return true;
}

struct FileId {
    std::uint64_t Device = 0;
    std::uint64_t Identity = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

FileId IdOf(const FileStatus& st) { return FileId{st.Device, st.Identity}; }

std::vector<std::string> ComponentsOf(const fs::path& relative) {
    std::vector<std::string> components;
    for (const fs::path& part : relative) components.push_back(Utf8Path(part));
    return components;
}

std::string EntryNameOf(const fs::path& relative) { return JoinEntryName(ComponentsOf(relative)); }

platform::FileError CannotArchive(const std::string& path, const std::string& name, const std::string& reason) {
    return platform::FileError(path, "cannot be archived as \"" + name + "\" (" + reason + ")");
}

// The counts of what the archive does not keep.
struct Losses {
    std::size_t Executables = 0;
    std::size_t EmptyDirectories = 0;
    std::size_t LinksOutside = 0;      // default policy: the target lies outside the tree
    std::size_t LinksNotFollowed = 0;  // --no-follow
    std::size_t LinksBroken = 0;       // lead nowhere, or round in a loop
    std::size_t Special = 0;           // devices, pipes, sockets

    std::vector<std::string> Warnings() const {
        std::vector<std::string> w;
        const auto add = [&w](std::size_t n, const char* one, const char* many) {
            if (n > 0) w.push_back(std::to_string(n) + " " + (n == 1 ? one : many));
        };
        add(Executables, "file has execute permission, which the archive does not keep",
            "files have execute permission, which the archive does not keep");
        add(EmptyDirectories, "empty directory is not stored", "empty directories are not stored");
        add(LinksOutside, "symbolic link leads out of the tree and is not stored (--follow stores what it points to)",
            "symbolic links lead out of the tree and are not stored (--follow stores what they point to)");
        add(LinksNotFollowed, "symbolic link is not stored (--no-follow)",
            "symbolic links are not stored (--no-follow)");
        add(LinksBroken, "symbolic link leads nowhere or round in a loop and is not stored",
            "symbolic links lead nowhere or round in a loop and are not stored");
        add(Special, "special file (device, pipe or socket) is not stored",
            "special files (devices, pipes or sockets) are not stored");
        return w;
    }
};

SourceFile Stamped(const std::string& path, const FileStatus& st, const StampPolicy& stamps) {
    SourceFile file;
    file.Path = path;
    file.Size = st.Size;
    file.Stamp = stamps.StampFor(st.ModificationTime);
    file.Attributes = static_cast<std::uint16_t>(kArchiveAttribute | (st.ReadOnly ? kReadOnlyAttribute : 0));
    return file;
}

class Collector {
public:
    explicit Collector(const TreeOptions& options)
        : options_(options), base_(options.Base.empty() ? fs::path(".") : PathFromUtf8(options.Base)) {
        std::error_code ec;
        root_ = fs::canonical(base_, ec);
        if (ec) throw platform::FileError(Utf8Path(base_), ec.message());
        FileStatus st;
        if (!options.Excluded.empty() && platform::GetStatus(options.Excluded, st) == 0) excluded_ = IdOf(st);
    }

    // relative: the path below base, lexically normal, without "." or ".." components.
    void Add(const fs::path& relative) {
        const std::string path = Utf8Path((base_ / relative).lexically_normal());
        if (const std::string reason = WindowsNameProblem(ComponentsOf(relative)); !reason.empty())
            throw CannotArchive(path, EntryNameOf(relative), reason);
        const FileStatus st = StatusOf(path, platform::Links::DoNotFollow);
        if (st.Type == FileType::Other) throw platform::FileError(path, "Not a regular file or directory");
        Visit(relative, path, st);
    }

    SourceTree Take() {
        SourceTree tree;
        tree.Files = std::move(files_);
        SortForArchive(tree.Files);
        tree.Warnings = losses_.Warnings();
        return tree;
    }

private:
    // st: the status of path itself (of a link, not of what it points to).
    void Visit(const fs::path& relative, const std::string& path, FileStatus st) {
        if (st.Type == FileType::SymbolicLink) {
            if (options_.Links == LinkPolicy::NoFollow) {
                ++losses_.LinksNotFollowed;
                return;
            }
            std::error_code ec;
            const fs::path target = fs::canonical(PathFromUtf8(path), ec);
            if (ec || platform::GetStatus(path, st) != 0) {
                ++losses_.LinksBroken;
                return;
            }
            if (options_.Links == LinkPolicy::Inside && !Below(target, root_)) {
                ++losses_.LinksOutside;
                return;
            }
        }
        if (st.Type == FileType::Directory) {
            AddDirectory(relative, path, IdOf(st));
        } else if (st.Type == FileType::Regular) {
            AddFile(relative, path, st);
        } else {
            ++losses_.Special;
        }
    }

    void AddDirectory(const fs::path& relative, const std::string& path, FileId id) {
        // A directory already being walked, reached again through a link: a loop.
        if (std::find(walking_.begin(), walking_.end(), id) != walking_.end()) {
            ++losses_.LinksBroken;
            return;
        }
        std::vector<std::string> names;
        if (const int error = platform::ListDirectory(path, names); error != 0) platform::ThrowSystemError(path, error);
        std::sort(names.begin(), names.end());
        walking_.push_back(id);
        const std::size_t before = files_.size();
        for (const std::string& name : names) {
            const fs::path childRelative = relative.empty() ? PathFromUtf8(name) : relative / PathFromUtf8(name);
            const std::string child = Utf8Path((base_ / childRelative).lexically_normal());
            // The name first: Windows opens "CON" or "aux.txt" as a device and drops a trailing
            // dot or space, so looking at such a file would find something else.
            if (const std::string reason = WindowsComponentProblem(name); !reason.empty())
                throw CannotArchive(child, EntryNameOf(childRelative), reason);
            Visit(childRelative, child, StatusOf(child, platform::Links::DoNotFollow));
        }
        walking_.pop_back();
        if (files_.size() == before) ++losses_.EmptyDirectories;
    }

    void AddFile(const fs::path& relative, const std::string& path, const FileStatus& st) {
        if (excluded_ && IdOf(st) == *excluded_) return;
        std::vector<std::string> components = ComponentsOf(relative);
        const std::string name = JoinEntryName(components);
        // The name must read back as the same components: a "\\" inside a file name would become a
        // directory on extraction.
        std::string reason;
        const auto split = SplitEntryName(name, &reason);
        if (split && *split != components) reason = "'\\' in a file name";
        if (split && *split == components) reason = WindowsNameProblem(components);
        if (!reason.empty()) throw CannotArchive(path, name, reason);
        if (!exact_.insert(name).second) return;  // named twice on the command line
        std::string earlier;
        if (!collisions_.Take(name, &earlier)) throw CannotArchive(path, name, CollisionMessage(earlier));
        const auto stored = options_.Names.Encode(name);
        if (!stored) throw platform::FileError(path, CannotStoreMessage(options_.Names));
        if (st.Executable) ++losses_.Executables;
        files_.push_back(Stamped(path, st, options_.Stamps));
        files_.back().Name = *stored;
        files_.back().ShownName = name;
    }

    const TreeOptions& options_;
    fs::path base_;
    fs::path root_;  // base without links
    std::optional<FileId> excluded_;
    std::vector<FileId> walking_;  // the directories being walked
    std::vector<SourceFile> files_;
    std::set<std::string> exact_;
    NameCollisions collisions_;
    Losses losses_;
};

}  // namespace

SourceFile StampedFile(const std::string& path, const StampPolicy& stamps) {
    return Stamped(path, StatusOf(path, platform::Links::Follow), stamps);
}

SourceTree CollectSourceTree(const TreeOptions& options) {
    Collector collector(options);
    const fs::path base = options.Base.empty() ? fs::path(".") : PathFromUtf8(options.Base);
    for (const std::string& given : options.Paths) {
        const fs::path normal = PathFromUtf8(given).lexically_normal();
        if (normal.is_absolute() || normal.has_root_path() || (!normal.empty() && *normal.begin() == ".."))
            throw platform::FileError(given, "lies outside the base directory " + Utf8Path(base));
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

}  // namespace qvx::cli
