// The engine's files on the system it installs to. Paths are byte strings in the system's narrow
// encoding: the ANSI code page on Windows (the encoding of the archive's entry names), the file
// name bytes on POSIX. The engine never converts a name, so what the archive holds is what the
// system receives.
#pragma once

#include <string>
#include <vector>

namespace qvx::example {

// The separator of this system's paths.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Creates the directory and every missing directory above it. Raises std::runtime_error naming
// the directory that cannot be created.
void CreateDirectories(const std::string& path);

// The regular files below root as the system names them, relative, with "\" separators, in
// byte order. Raises std::runtime_error when a directory cannot be read.
std::vector<std::string> ListFiles(const std::string& root);

}  // namespace qvx::example
