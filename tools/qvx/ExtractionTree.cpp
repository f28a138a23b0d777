#include "ExtractionTree.h"

#include <cerrno>
#include <system_error>

#include "ErrorReport.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

ExtractionTree::ExtractionTree(const std::string& directory) {
    std::error_code ec;
    std::filesystem::create_directories(platform::PathFromUtf8(directory), ec);
    const int error = platform::Directory::Open(directory, root_);
    if (error != 0) ThrowSystemError(directory, error);
}

std::string ExtractionTree::PathOf(const std::vector<std::string>& components) const {
    std::string path = root_->Path();
    for (const std::string& c : components) path = platform::ChildPathOf(path, c);
    return path;
}

std::shared_ptr<platform::Directory> ExtractionTree::Open(const std::vector<std::string>& components) {
    Done();
    std::shared_ptr<platform::Directory> parent = root_;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        std::shared_ptr<platform::Directory> child;
        bool made = false;
        const int error = parent->OpenChild(components[i], true, child, &made);
        if (error == ELOOP) throw FileError(parent->ChildPath(components[i]), "Refusing to follow a symbolic link");
        if (error != 0) ThrowSystemError(parent->ChildPath(components[i]), error);
        chain_.push_back(child);
        names_.push_back(components[i]);
        made_.push_back(made);
        parent = std::move(child);
    }
    return parent;
}

void ExtractionTree::Done() noexcept {
    chain_.clear();
    names_.clear();
    made_.clear();
}

void ExtractionTree::Undo() noexcept {
    while (!chain_.empty()) {
        const bool made = made_.back();
        const std::string name = names_.back();
        // Let go of the directory first: Windows removes no directory that is held open.
        chain_.pop_back();
        names_.pop_back();
        made_.pop_back();
        if (!made) break;
        const platform::Directory& parent = chain_.empty() ? *root_ : *chain_.back();
        if (parent.RemoveChildDirectory(name) != 0) break;
    }
    Done();
}

}  // namespace qvx::cli
