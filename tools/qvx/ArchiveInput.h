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
    bool SkipStoredChecksums = false;  // stored entries' checksums are not verified (commands that expand)
};

// Registers the options of ArchiveInputOptions on a reading command, the ARCHIVE argument first.
void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options);
// Registers --skip-stored-checksums, for the reading commands that expand entries.
void AddStoredChecksumOption(CLI::App& command, ArchiveInputOptions& options);

// The component a reading command expands with: no yield between blocks, and stored entries'
// checksums verified unless the options skip them.
void SetUpReadingComponent(TQuorvexCompress& component, const ArchiveInputOptions& options);

// Expands the entry the walker has just read (ArchiveWalker::Expand), in the tool's words for two
// faults: a stored entry's bad checksum names --skip-stored-checksums, and a CUS entry is one
// "that qvx cannot expand" (ECustomMethodUnavailable, with that message).
void ExpandEntry(ArchiveWalker& walker, const ArchiveEntry& entry, TStream& dest);

// The file a command reads, as a seekable stream at position 0: the named file opened read-shared,
// or for "-" standard input (refused when it is a terminal). Raises the file stream's errors or
// FileError.
std::unique_ptr<TStream> OpenInputFile(const std::string& path);

// The archive the options name, as a stream positioned at the archive's first byte. Raises the
// file stream's errors when it cannot be opened, and FileError or setup::SetupError naming the
// fault of a setup file whose payload is damaged or of a --block that is not there.
std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options);
// The same, and *setupBlock receives the number of the setup file's block opened (1 or 2), or 0
// when the file is an archive.
std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options, int* setupBlock);

}  // namespace qvx::cli
