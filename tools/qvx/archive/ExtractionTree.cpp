#include "archive/ExtractionTree.h"

#include <cerrno>
#include <system_error>

#include "platform/FileError.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

ExtractionTree::ExtractionTree(const std::string& directory) {
    std::error_code made;
    std::filesystem::create_directories(platform::PathFromUtf8(directory), made);
    const int error = platform::Directory::Open(directory, root_);
    // Why the directory could not be made says more than that it is missing.
    if (error == ENOENT && made) platform::ThrowSystemError(directory, made.default_error_condition().value());
    if (error != 0) platform::ThrowSystemError(directory, error);
}

std::string ExtractionTree::PathOf(const std::vector<std::string>& components) const {
    std::string path = root_->Path();
    for (const std::string& c : components) path = platform::ChildPathOf(path, c);
    return path;
}

std::shared_ptr<platform::Directory> ExtractionTree::Open(const std::vector<std::string>& components) {
    Done();
    const std::size_t folders = components.size() - 1;
    // The folders shared with the last entry stay open; the others are let go, deepest first.
    std::size_t kept = 0;
    while (kept < chain_.size() && kept < folders && names_[kept] == components[kept]) ++kept;
    chain_.resize(kept);
    names_.resize(kept);
    made_.resize(kept);
    std::shared_ptr<platform::Directory> parent = kept == 0 ? root_ : chain_.back();
    for (std::size_t i = kept; i < folders; ++i) {
        std::shared_ptr<platform::Directory> child;
        bool made = false;
        const int error = parent->OpenChild(components[i], true, child, &made);
        if (error == ELOOP)
            throw platform::FileError(parent->ChildPath(components[i]), "Refusing to follow a symbolic link");
        if (error != 0) platform::ThrowSystemError(parent->ChildPath(components[i]), error);
        chain_.push_back(child);
        names_.push_back(components[i]);
        made_.push_back(made);
        parent = std::move(child);
    }
    return parent;
}

void ExtractionTree::Done() noexcept { made_.assign(made_.size(), false); }

void ExtractionTree::Undo() noexcept {
    while (!chain_.empty() && made_.back()) {
        const std::string name = names_.back();
        // Let go of the directory first: Windows removes no directory that is held open.
        chain_.pop_back();
        names_.pop_back();
        made_.pop_back();
        const platform::Directory& parent = chain_.empty() ? *root_ : *chain_.back();
        if (parent.RemoveChildDirectory(name) != 0) break;
    }
    Done();
}

}  // namespace qvx::cli
