// ArchiveWalker: the one walk over an archive's entries. The header is read and validated when the
// walker is made; Next reads entry after entry while the running sum of the expanded sizes of the
// entries already walked is below the header's TotalSize; each entry is then expanded or skipped.
// WalkArchive runs the whole walk with a visitor that picks the entries to expand.
//
// The walk checks the size fields against each other and against the archive, so that every reader
// (the launcher, the tool, any library caller) refuses the same damage: an entry's stored bytes
// that run past the end of the archive, entries that end before the header's TotalSize is reached
// (a cut archive), and a TotalSize that the entries do not add up to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ArchiveFormat.h"
#include "Export.h"
#include "QuorvexCompress.h"
#include "Stream.h"

namespace qvx {

// One entry as the walk reads it.
struct ArchiveEntry {
    EntryHeader Header;
    std::string Name;             // NameLength bytes, "\\" as the separator
    std::int64_t DataOffset = 0;  // position of the stored bytes in the archive stream
};

// Called for every entry the walk reaches; returns the stream to expand the entry into (borrowed
// for the expansion), or nullptr to skip it.
using TEntryVisitor = std::function<TStream*(const ArchiveEntry& entry)>;

class INSTCOMPRESS_API ArchiveWalker {
public:
    // Reads the archive header at the stream's position (TQuorvexCompress::ReadArchiveHeader, with
    // its errors). Both the component and the stream are borrowed for the walker's lifetime.
    ArchiveWalker(const TQuorvexCompress& component, TStream& archive);

    const ArchiveHeader& Header() const noexcept { return header_; }
    // The header's three-character identifier (NUL characters for a default header).
    const std::string& MethodId() const noexcept { return methodId_; }
    // The expanded sizes of the entries read so far.
    std::int64_t WalkedSize() const noexcept { return sum_; }

    // Reads the next entry; false when the walk ends: an entry header or name that cannot be read
    // in full (the end of the archive), or TotalSize reached. Raises
    //   EInvalidSize for an entry with a negative size, or whose expanded size carries the running
    //     sum past 2^31 - 1 (the walk never moves backwards or wraps);
    //   ETruncatedArchive when the entry's stored bytes run past the end of a stream whose size is
    //     known ("stored bytes run past the end of the archive: stored size 2147483647, 130 bytes
    //     left"), and when the archive ends before the entries reach TotalSize ("archive is
    //     truncated: its entries hold 10 of 20 bytes");
    //   EInvalidSize when the walk ends with the entries holding more than TotalSize, or with an
    //     entry of non-zero expanded size left past TotalSize (entries of size 0 there are allowed:
    //     no reader reaches them).
    bool Next(ArchiveEntry& entry);

    // Expands the entry just read into dest, verifying its checksum (TQuorvexCompress::ExpandEntry,
    // with its errors), and leaves the stream at the end of the entry's stored bytes.
    void Expand(const ArchiveEntry& entry, TStream& dest);
    // Moves over the entry's stored bytes.
    void Skip(const ArchiveEntry& entry);
    // Puts the stream at the end of the entry's stored bytes, wherever a failed expansion left it,
    // so the walk can go on with the next entry.
    void SeekPastEntry(const ArchiveEntry& entry);

private:
    // The checks at the end of the walk; next is the entry header read past TotalSize, if any.
    void CheckEnd(const EntryHeader* next) const;

    const TQuorvexCompress& component_;
    TStream& archive_;
    ArchiveHeader header_;
    std::string methodId_;
    std::int64_t sum_ = 0;
    std::int64_t end_ = -1;  // the archive stream's size; -1 when the stream cannot tell it
};

// Walks the archive from the stream's position with the component's settings; each entry the
// visitor returns a stream for is expanded into it. Errors as for ArchiveWalker; an exception ends
// the walk.
INSTCOMPRESS_API void WalkArchive(const TQuorvexCompress& component, TStream& archive, const TEntryVisitor& visitor);
// The same over an archive file, opened read-exclusive and closed on every path (EFOpenError when
// it cannot be opened).
INSTCOMPRESS_API void WalkArchive(const TQuorvexCompress& component, const std::string& archivePath,
                                  const TEntryVisitor& visitor);

}  // namespace qvx
