// ArchiveWalker: the one walk over an archive's entries. The header is read and validated when the
// walker is made; Next reads entry after entry while the running sum of the expanded sizes of the
// entries already walked is below the header's TotalSize; each entry is then expanded or skipped.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "QuorvexCompress.h"
#include "Stream.h"

namespace qvx {

class ArchiveWalker {
public:
    // Reads the archive header at the stream's position (see TQuorvexCompress::ReadArchiveHeader).
    ArchiveWalker(const TQuorvexCompress& component, TStream& archive);

    const ArchiveHeader& Header() const noexcept { return header_; }
    const std::string& MethodId() const noexcept { return methodId_; }

    // Reads the next entry; false when the walk ends (an entry header or name that cannot be read
    // in full, or TotalSize reached). An entry with a negative size, or whose expanded size carries
    // the running sum past 2^31 - 1, raises EInvalidSize: the walk never moves backwards or wraps.
    bool Next(ArchiveEntry& entry);

    // Expands the entry just read into dest, verifying its checksum, and leaves the stream at the
    // end of the entry's stored bytes.
    void Expand(const ArchiveEntry& entry, TStream& dest);
    // Moves over the entry's stored bytes.
    void Skip(const ArchiveEntry& entry);
    // Puts the stream at the end of the entry's stored bytes, wherever a failed expansion left it.
    void SeekPastEntry(const ArchiveEntry& entry);

private:
    const TQuorvexCompress& component_;
    TStream& archive_;
    ArchiveHeader header_;
    std::string methodId_;
    std::int64_t sum_ = 0;
};

}  // namespace qvx
