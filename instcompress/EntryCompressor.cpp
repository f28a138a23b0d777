#include <instcompress/EntryCompressor.h>

#include <memory>

#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>
#include <instcompress/ThreadedCompress.h>

namespace qvx {

EntryCompressor::EntryCompressor(CompressMethod method, TShowProgressEvent progress, YieldHook yield)
    : method_(method) {
    if (!IsWritableMethod(method))
        throw EUnrecognizedCompressionMethod("The archive writer compresses with NON, LZH or LH5 only");
    settings_.OnShowProgress = std::move(progress);
    settings_.MinimumSaving = 1;  // compressed data must be strictly smaller, or it is stored
    settings_.Yield = std::move(yield);
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
            const CodecResult result = budget_ != nullptr && method_ == cmLH5 && size >= kThreadedCompressMinimum
                                           ? CompressLh5Threaded(settings_, dest, source, size, 1, budget_)
                                           : CompressCodec(settings_, dest, source, size, method_);
            if (result.Cancelled) throw EOperationCancelled("Archive entry cancelled: " + name);
            entry.StoredSize = result.OutputCount;
            entry.Checksum = result.Checksum;
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
