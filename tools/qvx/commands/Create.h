// qvx create: builds an archive from files and directories. Directories are walked recursively;
// every regular file becomes one entry named by its path relative to the base directory, with "\"
// separators, in the archive's code page (SourceTree.h). The entries are written in a fixed order
// (empty files first, then by name), so the same tree always gives the same archive; with a
// clamp of the times (--mtime, SOURCE_DATE_EPOCH) the same bytes in every time zone. The archive
// is written atomically, or with "-" to standard output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include <instcompress/CompressMethod.h>

#include "names/CodePage.h"
#include "archive/SourceTree.h"

namespace qvx::cli {

struct CreateOptions {
    std::string Archive;  // "-": standard output
    std::string Directory = ".";
    std::vector<std::string> Paths;
    CompressMethod Method = cmLH5;
    bool Verbose = false;
    bool Quiet = false;
    bool Force = false;  // write to standard output even when it is a terminal
    unsigned Jobs = 0;   // entries compressed at once; 0 = one per processor, at most 8
    CodePage Names = CodePage::Default();
    LinkPolicy Links = LinkPolicy::Inside;
    bool Utc = false;
    std::string MTime;  // --mtime; empty: SOURCE_DATE_EPOCH, if set
};

int RunCreate(const CreateOptions& options);

// The options create and setup build share for what they collect: --codepage, --follow,
// --no-follow, --utc and --mtime.
struct CollectOptions {
    CodePage* Names;
    LinkPolicy* Links;
    bool* Utc;
    std::string* MTime;
};
void AddCollectOptions(CLI::App& command, const CollectOptions& options);

// Prints the collection's warnings, "qvx: warning: ...", one line each.
void ReportWarnings(const std::vector<std::string>& warnings);

}  // namespace qvx::cli
