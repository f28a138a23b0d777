// Whether two paths name the same file (the same file system object, whatever the spelling of the
// paths, links included): a command refuses to write its output over its own input.
#pragma once

#include <string>

namespace qvx::cli {

// False when either path names no existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace qvx::cli
