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
#include "CodecSettings.h"
#include "CompressMethod.h"
#include "Events.h"
#include "Export.h"
#include "Stream.h"
#include "ThreadBudget.h"

namespace qvx {

// What an archive entry's header says about its stored bytes.
struct PreparedEntry {
    CompressMethod Method = cmNON;  // the method the stored bytes ended up with
    std::int32_t ExpandedSize = 0;
    std::int32_t StoredSize = 0;
    std::uint32_t Checksum = 0;  // byte sum of the expanded data
};

class INSTCOMPRESS_API EntryCompressor {
public:
    // method is NON, LZH or LH5 (IsWritableMethod; EUnrecognizedCompressionMethod otherwise).
    // progress sees each compression; a handler that cancels (PercentageDone = -1) makes Prepare
    // raise EOperationCancelled, since an entry cut short would read back as its data followed by
    // zeros. yield is the codec engine's yield between blocks (empty: none).
    explicit EntryCompressor(CompressMethod method, TShowProgressEvent progress = {}, YieldHook yield = YieldTimeSlice);
    EntryCompressor(const EntryCompressor&) = delete;
    EntryCompressor& operator=(const EntryCompressor&) = delete;

    // Writes the stored bytes for the next size bytes of source to dest at its position and leaves
    // dest after them; name only labels a cancellation. size is 0..2^31-1 (EInvalidSize
    // otherwise). When compression does not save a byte, both streams are put back where they
    // stood and the data is stored; source and dest must therefore be seekable. Errors: the
    // streams' EReadError (source shorter than size) and EWriteError, EOperationCancelled.
    PreparedEntry Prepare(const std::string& name, TStream& source, std::int32_t size, TStream& dest);

    CompressMethod Method() const noexcept { return method_; }

    // Entries compressed with LH5 from now on whose size is at least kThreadedCompressMinimum have
    // their match search spread over threads: the one share of the budget that the caller holds
    // and the budget's threads that are free at the time (CompressLh5Threaded). The stored bytes
    // are the same. nullptr: every entry on the calling thread alone.
    void UseThreads(ThreadBudget* budget) noexcept { budget_ = budget; }

private:
    void Store(TStream& source, TStream& dest, PreparedEntry& entry);

    CompressMethod method_;
    CodecSettings settings_;
    ThreadBudget* budget_ = nullptr;
};

}  // namespace qvx
