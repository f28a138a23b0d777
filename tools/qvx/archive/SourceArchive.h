// The archive folder: what the tool does with archives between the library and the commands,
// knowing neither the command line nor setup files. On the writing side, the source tree
// (SourceTree.h) collects and stamps files (StampPolicy.h), the entry pipeline (EntryPipeline.h)
// compresses them on several threads, and this file writes them as one archive. On the reading
// side, entry selection (EntrySelection.h) picks entries by name, the extraction tree
// (ExtractionTree.h) opens the folders they go to, the listing format (ListFormat.h) shows them,
// raw expansion (RawExpansion.h) runs the codecs on bare streams, and read-ahead and forward
// streams (ReadAhead.h, ForwardStream.h) feed the walk from files and pipes.
//
// Writing a set of source files (SourceTree.h) as one archive, for create and for setup build's
// blocks. The files are added in the order given; with several workers (-j) the entry pipeline
// compresses them at once and the writer takes them in that order, so the archive is byte for byte
// the one a single thread writes. A file that ends before, or runs past, the size it was collected
// with raises FileError(file, "file changed while being archived"). An archive must not end with
// an empty entry (the reader's walk stops at the archive's total size), so a set of files that are
// all empty is refused by the caller before anything is written (OnlyEmptyFiles).
//
// An archive's writer goes back to the header at the end, so a destination that cannot seek
// (standard output) is written through an anonymous temporary file (WriteThroughTemporaryFile);
// the destination itself comes from the command, which alone knows the standard streams.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <instcompress/CompressMethod.h>
#include <instcompress/Events.h>
#include <instcompress/Stream.h>

#include "archive/SourceTree.h"

namespace qvx::cli {

// What writing a source archive tells its caller as it goes; every member may be left empty.
struct SourceArchiveEvents {
    // Before a file's entry is begun: its file opened, or its prepared entry awaited.
    std::function<void(const SourceFile&)> Adding;
    // The percentage of the current entry compressed so far.
    TShowProgressEvent Progress;
    // After a file's entry is written and the file was read to exactly the size collected.
    std::function<void(const SourceFile&)> Added;
    // Called inside the handler of a library error (qvx::Exception) raised while a file's entry
    // was added: it may raise an error of its own in its place; when it returns, the error goes on.
    std::function<void(const SourceFile&)> Failed;
};

struct SourceArchiveOptions {
    CompressMethod Method = cmLH5;
    unsigned Jobs = 0;  // entries compressed at once; 0 = one per processor, at most 8
    SourceArchiveEvents Events;
};

// Whether there are files and all of them are empty: files in archive order hold the empty ones
// first, so their archive would end with an empty entry and could not be read back.
bool OnlyEmptyFiles(const std::vector<SourceFile>& files) noexcept;

// Writes the files as an archive (its header, the entries in order, the header's total) to out.
void WriteSourceArchive(TStream& out, const std::vector<SourceFile>& files, const SourceArchiveOptions& options);

// Calls write on an anonymous temporary file (named after prefix), then copies what it wrote to
// the stream open gives, which is asked for only once the writing succeeded.
void WriteThroughTemporaryFile(const std::string& prefix, const std::function<void(TStream&)>& write,
                               const std::function<std::unique_ptr<TStream>()>& open);

}  // namespace qvx::cli
