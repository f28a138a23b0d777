// The rules an entry name must meet before it becomes a file: extract applies them to each entry it
// writes, setup build to the entries of a data archive it carries and setup test to the data block,
// so that a setup file never holds a name its engine could not install. A name is refused when
// its bytes are not defined in the code page, when it would leave the directory it is extracted
// to (SafePath.h), when Windows cannot hold it (WindowsNames.h), or when it equals an earlier
// entry's name ignoring case.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CodePage.h"
#include "WindowsNames.h"

namespace qvx::cli {

// The path components of the stored name (bytes of the code page), or std::nullopt with the
// reason it is refused in *reason ("reserved device name 'CON'"). taken holds the names accepted
// before; an accepted name joins them.
std::optional<std::vector<std::string>> EntryNameComponents(const std::string& stored, CodePage names,
                                                             NameCollisions& taken, std::string* reason);

}  // namespace qvx::cli
