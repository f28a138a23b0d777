// EntryCompressor: turns the data of one archive entry into the bytes an archive stores for it:
// compressed with the archive's method, or stored as they are (NON) when compression does not
// make them at least one byte smaller. An ArchiveWriter uses one for the entries it adds itself.
// A caller may also prepare entries apart, for example several at once with one compressor per
// thread, and hand them to the writer in order (ArchiveWriter::AddPreparedEntry): the archive
// comes out byte for byte the same as when the writer compresses them one after the other.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "QuorvexCompress.h"
#include "Stream.h"

namespace qvx {

// What an archive entry's header says about its stored bytes.
struct PreparedEntry {
    std::uint8_t Method = cmNON;  // the method the stored bytes ended up with
    std::int32_t ExpandedSize = 0;
    std::int32_t StoredSize = 0;
    std::uint32_t Checksum = 0;  // byte sum of the expanded data
};

class EntryCompressor {
public:
    // method is cmNON, cmLZH or cmLH5. progress sees each compression; a handler that cancels
    // (PercentageDone = -1) makes Prepare raise EOperationCancelled, since an entry cut short would
    // read back as its data followed by zeros.
    explicit EntryCompressor(std::uint8_t method, TShowProgressEvent progress = {});
    EntryCompressor(const EntryCompressor&) = delete;
    EntryCompressor& operator=(const EntryCompressor&) = delete;

    // Writes the stored bytes for the next size bytes of source to dest at its position and leaves
    // dest after them; name only labels a cancellation. size is 0..2^31-1.
    PreparedEntry Prepare(const std::string& name, TStream& source, std::int32_t size, TStream& dest);

    std::uint8_t Method() const noexcept { return method_; }

private:
    void Store(TStream& source, TStream& dest, PreparedEntry& entry);

    std::uint8_t method_;
    TQuorvexCompress component_;
    bool cancelled_ = false;
};

}  // namespace qvx
