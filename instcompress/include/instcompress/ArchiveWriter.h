// ArchiveWriter: writes an archive entry by entry into a seekable stream. Each entry is compressed
// with the writer's method straight into the output (EntryCompressor); an entry whose compressed
// form would not be smaller than its data is stored (NON) instead. Entries may also come prepared
// by compressors of their own (AddPreparedEntry). Finish() writes the header's TotalSize.
//
// The writer never produces an archive that reads back differently: every size and the total must
// fit in signed 32 bits, and an entry of expanded size 0 must be followed by a non-empty entry
// (the reader's walk stops once the running sum reaches TotalSize, so trailing empty entries would
// be lost). Violations raise EInvalidSize before anything misleading is written.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "CompressMethod.h"
#include "DosDateTime.h"
#include "EntryCompressor.h"
#include "Events.h"
#include "Export.h"
#include "Stream.h"

namespace qvx {

// What an entry header says about the file an entry was made from.
struct EntryInfo {
    std::string Name;  // relative path with "\" separators
    DosStamp Stamp;    // the file's modification time
    std::uint16_t Attributes = 0x20;
};

class INSTCOMPRESS_API ArchiveWriter {
public:
    // Writes the archive header at out's position; out is borrowed for the writer's lifetime and
    // must be seekable. method is NON, LZH or LH5 (EUnrecognizedCompressionMethod otherwise); it
    // names the archive in the header and compresses every entry. progress sees each entry's
    // compression; a handler that cancels (PercentageDone = -1) makes AddEntry raise
    // EOperationCancelled, since an entry cut short would read back as its data followed by
    // zeros. yield is the codec engine's yield between blocks (empty: none).
    ArchiveWriter(TStream& out, CompressMethod method, TShowProgressEvent progress = {},
                  YieldHook yield = YieldTimeSlice);

    // Adds an entry holding the next size bytes of source (which must be seekable, see
    // EntryCompressor::Prepare). Returns the header as written. Errors: EInvalidSize (CheckEntry),
    // the streams' errors, EOperationCancelled.
    EntryHeader AddEntry(const EntryInfo& info, TStream& source, std::int64_t size);

    // Adds an entry whose stored bytes an EntryCompressor with this writer's method has prepared:
    // the next entry.StoredSize bytes of data. Returns the header as written. Raises EInvalidSize
    // for an entry of another method or with inconsistent sizes.
    EntryHeader AddPreparedEntry(const EntryInfo& info, const PreparedEntry& entry, TStream& data);

    // Writes TotalSize into the header and leaves out at the end of the archive. Raises
    // EInvalidSize when the last entry added is empty (readers would never reach it).
    void Finish();

    // The sum of the expanded sizes of the entries added so far.
    std::int64_t TotalSize() const noexcept { return totalSize_; }

    // Raises EInvalidSize when an entry of this name and size cannot be added next.
    void CheckEntry(const EntryInfo& info, std::int64_t size) const;

    CompressMethod Method() const noexcept { return compressor_.Method(); }

    // Large LH5 entries added from now on search their stream on the calling thread's share and on
    // the budget's free threads too (EntryCompressor::UseThreads); nullptr: on one thread.
    void UseThreads(ThreadBudget* budget) noexcept { compressor_.UseThreads(budget); }

private:
    // Leaves room for the header of an entry named name; returns where the header goes.
    std::int64_t BeginEntry(const std::string& name);
    // Writes the header at entryPosition after the entry's data and counts the entry.
    EntryHeader EndEntry(const EntryInfo& info, std::int64_t entryPosition, const PreparedEntry& entry);

    TStream& out_;
    EntryCompressor compressor_;
    std::int64_t headerPosition_;
    std::int64_t totalSize_ = 0;
    bool emptyAtEnd_ = false;
};

}  // namespace qvx
