#include "ArchiveWriter.h"

#include <memory>

#include "CodecEngine.h"
#include "Exceptions.h"

namespace qvx {

namespace {

constexpr std::int64_t kMaxSize = 0x7FFFFFFF;

ArchiveHeader MakeHeader(std::uint8_t method, std::int32_t totalSize) {
    ArchiveHeader header;
    TQuorvexCompress::MakeDefaultHeader(header, std::string(MethodIds.at(method)), totalSize, caMulti);
    return header;
}

}  // namespace

ArchiveWriter::ArchiveWriter(TStream& out, std::uint8_t method, TShowProgressEvent progress)
    : out_(out), method_(method) {
    if (method != cmNON && method != cmLZH && method != cmLH5)
        throw EUnrecognizedCompressionMethod("The archive writer compresses with NON, LZH or LH5 only");
    if (progress) {
        component_.SetOnShowProgress([this, progress = std::move(progress)](std::int32_t& percentageDone) {
            progress(percentageDone);
            if (percentageDone == -1) cancelled_ = true;
        });
    }
    component_.SetMinimumSaving(1);  // compressed data must be strictly smaller, or it is stored
    headerPosition_ = out_.Position();
    const auto bytes = MakeHeader(method_, 0).Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

EntryHeader ArchiveWriter::AddEntry(const EntryInfo& info, TStream& source, std::int64_t size) {
    if (info.Name.size() > 0x7FFF) throw EInvalidSize("Entry name longer than 32767 bytes: " + info.Name);
    if (size < 0 || size > kMaxSize) throw EInvalidSize("Entry larger than 2 GB: " + info.Name);
    if (totalSize_ + size > kMaxSize) throw EInvalidSize("Archive contents exceed 2 GB");

    EntryHeader header;
    header.NameLength = static_cast<std::int16_t>(info.Name.size());
    header.FileTime = info.Stamp.Time;
    header.FileDate = info.Stamp.Date;
    header.Attributes = info.Attributes;
    header.ExpandedSize = static_cast<std::int32_t>(size);
    header.MethodIndex = method_;

    const std::int64_t entryPosition = out_.Position();
    const std::int64_t dataPosition = entryPosition + static_cast<std::int64_t>(EntryHeader::kSize + info.Name.size());
    const std::int64_t sourcePosition = source.Position();
    out_.SetPosition(dataPosition);

    bool stored = method_ == cmNON;
    if (!stored) {
        try {
            cancelled_ = false;
            header.StoredSize = RunCodec(component_, out_, source, header.ExpandedSize, 0, method_, header.Checksum, false);
            if (cancelled_) throw EOperationCancelled("Archive entry cancelled: " + info.Name);
        } catch (const EUnableToCompress&) {
            stored = true;
            source.SetPosition(sourcePosition);
            out_.SetPosition(dataPosition);
        }
    }
    if (stored) StoreEntry(source, header.ExpandedSize, header);

    const std::int64_t endPosition = out_.Position();
    out_.SetPosition(entryPosition);
    const auto bytes = header.Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    out_.WriteBuffer(info.Name.data(), header.NameLength);
    out_.SetPosition(endPosition);

    totalSize_ += size;
    emptyAtEnd_ = size == 0;
    return header;
}

void ArchiveWriter::StoreEntry(TStream& source, std::int32_t size, EntryHeader& header) {
    // A stored entry's checksum is not verified on expansion; it is written all the same, so that
    // tools can check stored data too.
    header.MethodIndex = cmNON;
    header.StoredSize = size;
    header.Checksum = 0;
    constexpr std::int32_t kPiece = TStream::kCopyPieceSize;
    auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kPiece);
    for (std::int32_t left = size; left > 0;) {
        const std::int32_t n = left < kPiece ? left : kPiece;
        source.ReadBuffer(piece.get(), n);
        out_.WriteBuffer(piece.get(), n);
        header.Checksum = ByteSum(piece.get(), static_cast<std::size_t>(n), header.Checksum);
        left -= n;
    }
}

void ArchiveWriter::Finish() {
    if (emptyAtEnd_)
        throw EInvalidSize("An archive cannot end with an empty entry (readers stop at the total size)");
    const std::int64_t endPosition = out_.Position();
    out_.SetPosition(headerPosition_);
    const auto bytes = MakeHeader(method_, static_cast<std::int32_t>(totalSize_)).Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    out_.SetPosition(endPosition);
}

}  // namespace qvx
