// The rules an entry name must meet before it becomes a file: extract applies them to each entry it
// writes, setup build to the entries of a data archive it carries and setup test to the data block,
// so that a setup file never holds a name its engine could not install. A name is refused when
// its bytes are not defined in the code page, when it would leave the directory it is extracted
// to (SafePath.h), when Windows cannot hold it or open a path that long (WindowsNames.h), or when
// it equals an earlier entry's name ignoring case.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "names/CodePage.h"
#include "names/WindowsNames.h"

namespace qvx::cli {

// The path components of the stored name (bytes of the code page), or std::nullopt with the
// reason it is refused in *reason ("reserved device name 'CON'"). taken holds the names accepted
// before; an accepted name joins them. directoryLength is the length of the absolute path of the
// directory the name goes below (UTF-16 characters), for the length Windows can open; 0 when it is
// not known yet (a setup file's data: only a name no directory could hold is refused).
std::optional<std::vector<std::string>> EntryNameComponents(const std::string& stored, CodePage names,
                                                            NameCollisions& taken, std::string* reason,
                                                            std::size_t directoryLength = 0);

}  // namespace qvx::cli
