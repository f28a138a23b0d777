#include "SourceTree.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <system_error>

#include "ErrorReport.h"
#include "SafePath.h"
#include "WindowsNames.h"

namespace qvx::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kArchiveAttribute = 0x20;
constexpr std::uint16_t kReadOnlyAttribute = 0x01;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

[[noreturn]] void Throw(const fs::path& path, const std::error_code& ec) { throw FileError(Utf8Of(path), ec.message()); }

// Whether path lies in or below root; both absolute and free of links.
bool Below(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) continue;  // a trailing separator
        if (p == path.end() || *p != *r) return false;
    }
    return true;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The counts of what the archive does not keep.
struct Losses {
    std::size_t Executables = 0;
    std::size_t EmptyDirectories = 0;
    std::size_t LinksOutside = 0;     // default policy: the target lies outside the tree
    std::size_t LinksNotFollowed = 0; // --no-follow
    std::size_t LinksBroken = 0;      // lead nowhere, or round in a loop
    std::size_t Special = 0;          // devices, pipes, sockets

    std::vector<std::string> Warnings() const {
        std::vector<std::string> w;
        if (Executables)
            w.push_back(Counted(Executables, "file has", "files have") +
                        std::string(" execute permission, which the archive does not keep"));
        if (EmptyDirectories)
            w.push_back(Counted(EmptyDirectories, "empty directory is", "empty directories are") +
                        std::string(" not stored"));
        if (LinksOutside)
            w.push_back(Counted(LinksOutside, "symbolic link leads", "symbolic links lead") +
                        std::string(" out of the tree and is not stored (--follow stores what it points to)"));
        if (LinksNotFollowed)
            w.push_back(Counted(LinksNotFollowed, "symbolic link is", "symbolic links are") +
                        std::string(" not stored (--no-follow)"));
        if (LinksBroken)
            w.push_back(Counted(LinksBroken, "symbolic link leads", "symbolic links lead") +
                        std::string(" nowhere or round in a loop and is not stored"));
        if (Special)
            w.push_back(Counted(Special, "special file (device, pipe or socket) is",
                                "special files (devices, pipes or sockets) are") +
                        std::string(" not stored"));
        return w;
    }
};

std::time_t ModificationTime(const fs::path& path) {
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec) Throw(path, ec);
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(written)));
}

class Collector {
public:
    explicit Collector(const TreeOptions& options) : options_(options), base_(PathOf(options.Base)) {
        if (base_.empty()) base_ = ".";
        std::error_code ec;
        root_ = fs::canonical(base_, ec);
        if (ec) Throw(base_, ec);
        if (!options.Excluded.empty()) {
            excluded_ = PathOf(options.Excluded);
            if (!fs::exists(excluded_, ec)) excluded_.clear();
        }
    }

    // relative: the path below base, lexically normal, without "." or ".." components.
    void Add(const fs::path& relative) {
        const fs::path path = (base_ / relative).lexically_normal();
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(path, ec);
        if (ec) Throw(path, ec);
        if (!fs::is_symlink(status) && !fs::is_directory(status) && !fs::is_regular_file(status))
            throw FileError(Utf8Of(path), "Not a regular file or directory");
        Visit(relative, path, status);
    }

    SourceTree Take() {
        SourceTree tree;
        tree.Files = std::move(files_);
        SortForArchive(tree.Files);
        tree.Warnings = losses_.Warnings();
        return tree;
    }

private:
    void Visit(const fs::path& relative, const fs::path& path, fs::file_status status) {
        std::error_code ec;
        if (fs::is_symlink(status)) {
            if (options_.Links == LinkPolicy::NoFollow) {
                ++losses_.LinksNotFollowed;
                return;
            }
            const fs::path target = fs::canonical(path, ec);
            if (ec) {
                ++losses_.LinksBroken;
                return;
            }
            if (options_.Links == LinkPolicy::Inside && !Below(target, root_)) {
                ++losses_.LinksOutside;
                return;
            }
            status = fs::status(path, ec);
            if (ec) Throw(path, ec);
        }
        if (fs::is_directory(status)) {
            AddDirectory(relative, path);
        } else if (fs::is_regular_file(status)) {
            AddFile(relative, path, status);
        } else {
            ++losses_.Special;
        }
    }

    void AddDirectory(const fs::path& relative, const fs::path& path) {
        std::error_code ec;
        const fs::path canonical = fs::canonical(path, ec);
        if (ec) Throw(path, ec);
        // A directory already being walked, reached again through a link: a loop.
        if (std::find(walking_.begin(), walking_.end(), canonical) != walking_.end()) {
            ++losses_.LinksBroken;
            return;
        }
        std::vector<fs::path> children;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path().filename());
        if (ec) Throw(path, ec);
        std::sort(children.begin(), children.end(),
                  [](const fs::path& a, const fs::path& b) { return a.u8string() < b.u8string(); });
        walking_.push_back(canonical);
        const std::size_t before = files_.size();
        for (const fs::path& name : children) {
            const fs::path childRelative = relative.empty() ? name : relative / name;
            const fs::path childPath = (base_ / childRelative).lexically_normal();
            const fs::file_status status = fs::symlink_status(childPath, ec);
            if (ec) Throw(childPath, ec);
            Visit(childRelative, childPath, status);
        }
        walking_.pop_back();
        if (files_.size() == before) ++losses_.EmptyDirectories;
    }

    void AddFile(const fs::path& relative, const fs::path& path, const fs::file_status& status) {
        std::error_code ec;
        if (!excluded_.empty() && fs::equivalent(path, excluded_, ec)) return;
        std::vector<std::string> components;
        for (const fs::path& part : relative) components.push_back(Utf8Of(part));
        const std::string name = JoinEntryName(components);
        const std::string shown = Utf8Of(path);
        // The name must read back as the same components: a "\\" inside a file name would become a
        // directory on extraction.
        std::string reason;
        const auto split = SplitEntryName(name, &reason);
        if (split && *split != components) reason = "'\\' in a file name";
        if (split && *split == components) reason = WindowsNameProblem(components);
        if (!reason.empty()) throw FileError(shown, "cannot be archived as \"" + name + "\" (" + reason + ")");
        if (!exact_.insert(name).second) return;  // named twice on the command line
        std::string earlier;
        if (!collisions_.Take(name, &earlier))
            throw FileError(shown, "cannot be archived as \"" + name + "\" (" + CollisionMessage(earlier) + ")");
        const auto stored = options_.Names.Encode(name);
        if (!stored) throw FileError(shown, CannotStoreMessage(options_.Names));

        SourceFile file = StampedFile(shown, options_.Stamps);
        file.Name = *stored;
        file.ShownName = name;
#ifndef _WIN32
        constexpr auto kExecute = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        if ((status.permissions() & kExecute) != fs::perms::none) ++losses_.Executables;
#else
        (void)status;
#endif
        files_.push_back(std::move(file));
    }

    const TreeOptions& options_;
    fs::path base_;
    fs::path root_;      // base without links
    fs::path excluded_;
    std::vector<fs::path> walking_;  // the directories being walked, without links
    std::vector<SourceFile> files_;
    std::set<std::string> exact_;
    NameCollisions collisions_;
    Losses losses_;
};

}  // namespace

SourceFile StampedFile(const std::string& path, const StampPolicy& stamps) {
    const fs::path p = PathOf(path);
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    if (ec) Throw(p, ec);
    SourceFile file;
    file.Path = path;
    const auto size = fs::file_size(p, ec);
    if (ec) Throw(p, ec);
    file.Size = static_cast<std::int64_t>(size);
    file.Stamp = stamps.StampFor(ModificationTime(p));
    const bool readOnly = (status.permissions() & fs::perms::owner_write) == fs::perms::none;
    file.Attributes = static_cast<std::uint16_t>(kArchiveAttribute | (readOnly ? kReadOnlyAttribute : 0));
    return file;
}

SourceTree CollectSourceTree(const TreeOptions& options) {
    Collector collector(options);
    const fs::path base = PathOf(options.Base.empty() ? std::string(".") : options.Base);
    for (const std::string& given : options.Paths) {
        const fs::path normal = PathOf(given).lexically_normal();
        if (normal.is_absolute() || normal.has_root_path() || (!normal.empty() && *normal.begin() == ".."))
            throw FileError(given, "lies outside the base directory " + Utf8Of(base));
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
