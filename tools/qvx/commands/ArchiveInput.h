// The archive a reading command (list, test, cat, extract) works on: the options every such
// command shares, and opening the archive they name.
//
// The first bytes decide, before anything else is read: an archive starts with its magic, a setup
// file with a program image's ("MZ", ELF); anything else is "not an archive", at once. A setup
// file is read through its payload, by default its first block (the engine's archive), with
// --block 2 its second (the data); its size marker is looked for within the launcher image only.
// "-" reads standard input, never a file of that name. A regular file is read in place; standard
// input, a pipe or a device is read forward as it comes (ForwardStream.h), never copied aside:
// entries come in order and skipping one is reading past it.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Stream.h>

#include "archive/ForwardStream.h"

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
// ExpandEntry for a command that writes the entry out (cat, extract): a fault of the entry's data
// becomes a FileError named `where` ("ARCHIVE: NAME"); an input that ended inside the entry (read
// forward) stays ETruncatedArchive, the archive's fault.
void ExpandEntryTo(ArchiveWalker& walker, const ArchiveEntry& entry, TStream& dest, const std::string& where);

// An archive opened for reading.
class OpenedArchive {
public:
    // The archive, positioned at its first byte: the file or block window, else the stream read
    // forward.
    TStream& Stream() noexcept { return owned_ ? *owned_ : static_cast<TStream&>(*forward_); }
    // Whether the archive holds a whole archive header that starts with the magic (test asks
    // this of the file; the library reads a short stream as an empty archive). Reads nothing.
    bool HoldsArchiveHeader();
    // After a walk that ended (the walk itself raises when the entries fall short of the header's
    // total size): read forward, "stored bytes run past the end of the archive" when an entry
    // skipped ran past the input's end; otherwise empty.
    std::string TruncationProblem() const;
    // The number of the setup file's block opened (1 or 2), or 0 when the input is an archive.
    int SetupBlock() const noexcept { return setupBlock_; }

private:
    friend OpenedArchive OpenArchiveInput(const ArchiveInputOptions& options);

    std::unique_ptr<TForwardStream> forward_;  // the input, when it is read forward
    std::unique_ptr<TStream> owned_;           // the file or the block's window over it
    int setupBlock_ = 0;
};

// The archive the options name. Raises FileError ("not an archive", a file that cannot be opened
// or read, a --block of a file that is not a setup file, the fault of a setup file whose payload
// is damaged or of a --block that is not there).
OpenedArchive OpenArchiveInput(const ArchiveInputOptions& options);

// The setup file that setup info and setup test read, as a seekable stream at position 0: a
// regular file in place; standard input ("-"), a pipe or a device copied to an anonymous temporary
// file (at most 2^31 - 1 bytes). Anything that does not start as a program image is refused at
// once: FileError "not a setup file".
std::unique_ptr<TStream> OpenSetupInput(const std::string& path);

}  // namespace qvx::cli
