// The archive a reading command (list, test, cat, extract) works on: the options every such
// command shares, and opening the archive they name.
//
// The archive may be a setup file: a file that is not an archive but carries the launcher's size
// marker is read through its payload, by default its first block (the engine's archive), with
// --block 2 its second (the data). "-" reads the archive from standard input, never a file of
// that name; input that cannot seek (a pipe) is first copied to an anonymous temporary file.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Stream.h>

namespace qvx::cli {

struct ArchiveInputOptions {
    std::string Path;  // the archive as named on the command line; "-" for standard input
    int Block = 0;     // block of a setup file to read (1 or 2); 0: the archive, or a setup file's first block
};

// Registers the options of ArchiveInputOptions on a reading command, the ARCHIVE argument first.
void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options);

// The file a command reads, as a seekable stream at position 0: the named file opened read-shared,
// or for "-" standard input (refused when it is a terminal). Raises the file stream's errors or
// FileError.
std::unique_ptr<TStream> OpenInputFile(const std::string& path);

// The archive the options name, as a stream positioned at the archive's first byte. Raises the
// file stream's errors when it cannot be opened, and FileError or setup::SetupError naming the
// fault of a setup file whose payload is damaged or of a --block that is not there.
std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options);

// After a walk that ended: why the archive is not whole ("archive is truncated: its entries hold
// 10 of 20 bytes"), or empty when the entries walked reach the header's total size.
std::string TruncationProblem(const ArchiveWalker& walker);

}  // namespace qvx::cli
