// qvx extract: writes archive entries to files below a directory. Every file goes through an
// AtomicFile and is put in place only after its entry expanded with a correct checksum; names
// that would leave the directory, that Windows cannot hold, or that equal an earlier entry's
// ignoring case are refused (the other entries are still extracted); existing files stay unless
// overwriting is asked for. The files are reached through directory handles (ExtractionTree.h), so
// no link planted before or changed during the extraction sends one outside the directory; what
// stands under a file's name (a link, a FIFO, a device) is replaced with -f, never written
// through. Files are not flushed to disk one by one unless --sync asks for it.
#pragma once

#include <string>
#include <vector>

#include <instcompress/Events.h>

#include "commands/ArchiveInput.h"
#include "names/CodePage.h"
#include "archive/EntrySelection.h"

namespace qvx::cli {

struct ExtractOptions {
    ArchiveInputOptions Input;
    std::string Directory = ".";
    SelectionOptions Selection;  // no patterns: every entry
    bool Force = false;          // replace existing files
    bool Verbose = false;        // name each file written
    bool Quiet = false;
    CodePage Names = CodePage::Default();  // code page of the stored names
    bool Utc = false;                      // the stored times are UTC
    bool Sync = false;                     // write each file through to the disk
};

// Returns the exit code; a failed entry is reported and the others are still extracted. observer,
// when set, is told the progress as the bar is (once per input block of a compressed entry).
int RunExtract(const ExtractOptions& options, const TShowProgressEvent& observer = {});

}  // namespace qvx::cli
