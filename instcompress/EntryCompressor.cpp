#include "EntryCompressor.h"

#include <memory>

#include "CodecEngine.h"
#include "Exceptions.h"

namespace qvx {

EntryCompressor::EntryCompressor(std::uint8_t method, TShowProgressEvent progress) : method_(method) {
    if (method != cmNON && method != cmLZH && method != cmLH5)
        throw EUnrecognizedCompressionMethod("The archive writer compresses with NON, LZH or LH5 only");
    if (progress) {
        component_.SetOnShowProgress([this, progress = std::move(progress)](std::int32_t& percentageDone) {
            progress(percentageDone);
            if (percentageDone == -1) cancelled_ = true;
        });
    }
    component_.SetMinimumSaving(1);  // compressed data must be strictly smaller, or it is stored
}

PreparedEntry EntryCompressor::Prepare(const std::string& name, TStream& source, std::int32_t size, TStream& dest) {
    if (size < 0) throw EInvalidSize("Negative size of archive entry: " + name);
    PreparedEntry entry;
    entry.Method = method_;
    entry.ExpandedSize = size;
    if (method_ != cmNON) {
        const std::int64_t sourcePosition = source.Position();
        const std::int64_t destPosition = dest.Position();
        try {
            cancelled_ = false;
            entry.StoredSize = RunCodec(component_, dest, source, size, 0, method_, entry.Checksum, false);
            if (cancelled_) throw EOperationCancelled("Archive entry cancelled: " + name);
            return entry;
        } catch (const EUnableToCompress&) {
            source.SetPosition(sourcePosition);
            dest.SetPosition(destPosition);
        }
    }
    Store(source, dest, entry);
    return entry;
}

void EntryCompressor::Store(TStream& source, TStream& dest, PreparedEntry& entry) {
    // A stored entry's checksum is not verified on expansion; it is written all the same, so that
    // tools can check stored data too.
    entry.Method = cmNON;
    entry.StoredSize = entry.ExpandedSize;
    entry.Checksum = 0;
    constexpr std::int32_t kPiece = TStream::kCopyPieceSize;
    auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kPiece);
    for (std::int32_t left = entry.ExpandedSize; left > 0;) {
        const std::int32_t n = left < kPiece ? left : kPiece;
        source.ReadBuffer(piece.get(), n);
        dest.WriteBuffer(piece.get(), n);
        entry.Checksum = ByteSum(piece.get(), static_cast<std::size_t>(n), entry.Checksum);
        left -= n;
    }
}

}  // namespace qvx
