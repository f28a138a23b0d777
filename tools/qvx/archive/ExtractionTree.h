// ExtractionTree: the directory extract writes below, reached only through directory handles.
//
// The directory is opened once (links followed: the user named it). Every directory below it is
// opened, or made, relative to its parent's handle without following a link (platform/Directory.h),
// and the chain of the last entry's directories is held open (and used again for the next entry
// as far as its folders are the same), so that no other process can send a file elsewhere by
// swapping a directory for a link meanwhile: a folder swapped away keeps receiving what is written
// into it, a link put in its place is never followed. On Windows the held directories cannot even
// be renamed. A link where a directory should be is refused ("Refusing to follow a symbolic
// link"). The directories made for an entry that then fails are removed again when they are left
// empty.
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
    // the last one's parent; the directories are held until the next Open() needs others. Raises
    // FileError about the directory at fault.
    std::shared_ptr<platform::Directory> Open(const std::vector<std::string>& components);
    // The entry's file is in place: the directories made for it stay.
    void Done() noexcept;
    // The entry failed: removes the directories made for it, deepest first, as far as they are
    // empty.
    void Undo() noexcept;

private:
    std::shared_ptr<platform::Directory> root_;
    // The directories of the last entry, top down, with whether the current entry made each.
    std::vector<std::shared_ptr<platform::Directory>> chain_;
    std::vector<std::string> names_;
    std::vector<bool> made_;
};

}  // namespace qvx::cli
