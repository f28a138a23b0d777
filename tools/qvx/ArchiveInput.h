// The archive a reading command (list, test, cat, extract) works on: the options every such
// command shares, and opening the archive they name.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include <instcompress/Stream.h>

namespace qvx::cli {

struct ArchiveInputOptions {
    std::string Path;  // the archive as named on the command line
};

// Registers the options of ArchiveInputOptions on a reading command, the ARCHIVE argument first.
void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options);

// The archive the options name, as a stream positioned at the archive's first byte. Raises the
// file stream's errors when it cannot be opened.
std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options);

}  // namespace qvx::cli
