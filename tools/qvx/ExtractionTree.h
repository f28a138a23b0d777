// ExtractionTree: the directory extract writes below, reached only through directory handles.
//
// The directory is opened once (links followed: the user named it). For each entry every
// directory below it is opened, or made, relative to its parent's handle without following a link
// (platform/Directory.h), and the whole chain is held while the entry's file is written, so that
// no other process can send the file elsewhere by swapping a directory for a link meanwhile; on
// Windows the held directories cannot even be renamed. A link where a directory should be is
// refused ("Refusing to follow a symbolic link"). The directories made for an entry that then
// fails are removed again when they are left empty.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Directory.h"

namespace qvx::cli {

class ExtractionTree {
public:
    // Makes the directory when it is missing and opens it; raises FileError about it when it cannot.
    explicit ExtractionTree(const std::string& directory);

    // The path of a file below the directory, for messages.
    std::string PathOf(const std::vector<std::string>& components) const;

    // Opens, making what is missing, the directories of every component but the last and returns
    // the last one's parent, held until the next Open(), Done() or Undo(). Raises FileError about
    // the directory at fault.
    std::shared_ptr<platform::Directory> Open(const std::vector<std::string>& components);
    // The entry's file is in place: keeps the directories made for it and lets them go.
    void Done() noexcept;
    // The entry failed: removes the directories made for it, deepest first, as far as they are
    // empty, and lets the others go.
    void Undo() noexcept;

private:
    std::shared_ptr<platform::Directory> root_;
    // The directories of the current entry, top down, with whether this entry made each.
    std::vector<std::shared_ptr<platform::Directory>> chain_;
    std::vector<std::string> names_;
    std::vector<bool> made_;
};

}  // namespace qvx::cli
