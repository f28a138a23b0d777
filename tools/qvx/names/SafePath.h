// Entry names as paths on disk. An entry name is a relative path with "\" as the separator; before
// a name becomes a file it must stay inside the extraction directory. A name is refused when it is
// empty, holds a NUL byte, is absolute (starts with a separator), holds a drive letter or any
// other ':' (a drive or a Windows stream name), or has a component that is empty or consists only
// of dots and spaces ("", ".", "..", "..." and the like, which Windows may read as ".."). "/" is
// treated as a separator as well, as Windows does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::cli {

// The components of a safe entry name, in order; std::nullopt for a refused name, with the reason
// in *reason when given.
std::optional<std::vector<std::string>> SplitEntryName(std::string_view name, std::string* reason = nullptr);

bool IsSafeEntryName(std::string_view name);

// Joins path components into an entry name with "\" separators.
std::string JoinEntryName(const std::vector<std::string>& components);

}  // namespace qvx::cli
