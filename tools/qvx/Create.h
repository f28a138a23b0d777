// qvx create: builds an archive from files and directories. Directories are walked recursively;
// every regular file becomes one entry named by its path relative to the base directory, with "\"
// separators. The entries are written in a fixed order (empty files first, then by name), so the
// same tree always gives the same archive; the archive is written atomically.
#pragma once

#include <cstdint>

#include <instcompress/CompressMethod.h>
#include <ctime>
#include <string>
#include <vector>

namespace qvx::cli {

struct CreateOptions {
    std::string Archive;
    std::string Directory = ".";
    std::vector<std::string> Paths;
    CompressMethod Method = cmLH5;
    bool Verbose = false;
    bool Quiet = false;
    unsigned Jobs = 0;  // entries compressed at once; 0 = one per processor, at most 8
};

// One file to be archived.
struct SourceFile {
    std::string Name;  // entry name
    std::string Path;  // where the file is
    std::int64_t Size = 0;
    std::time_t ModificationTime = 0;
    bool ReadOnly = false;
};

// The files below base named by paths, in archive order, without the file excluded (the archive
// being replaced). Raises FileError for a path that is missing, lies outside base or gives an
// entry name the archive cannot carry.
std::vector<SourceFile> CollectSourceFiles(const std::string& base, const std::vector<std::string>& paths,
                                           const std::string& excluded);

// Empty files first, then by name; the reader's walk stops at the archive's total size, so an
// empty entry must never be last.
void SortForArchive(std::vector<SourceFile>& files);

int RunCreate(const CreateOptions& options);

}  // namespace qvx::cli
