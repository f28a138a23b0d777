// qvx extract: writes archive entries to files below a directory. Every file goes through an
// AtomicFile and is put in place only after its entry expanded with a correct checksum; names
// that would leave the directory are refused; existing files stay unless overwriting is asked for.
#pragma once

#include <string>
#include <vector>

#include "ArchiveInput.h"

namespace qvx::cli {

struct ExtractOptions {
    ArchiveInputOptions Input;
    std::string Directory = ".";
    std::vector<std::string> Names;  // empty: every entry
    bool Force = false;              // replace existing files
    bool Verbose = false;            // name each file written
    bool Quiet = false;
};

// Returns the exit code; a failed entry is reported and the others are still extracted.
int RunExtract(const ExtractOptions& options);

}  // namespace qvx::cli
