#include <instcompress/QuorvexCompress.h>

#include <algorithm>
#include <array>
#include <memory>

#include <instcompress/Exceptions.h>
#include <instcompress/RunCodec.h>

namespace qvx {

bool SameEntryName(const std::string& a, const std::string& b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

void TQuorvexCompress::SetTargetPath(std::string path) {
    if (!path.empty() && path.back() != '\\') path.push_back('\\');
    targetPath_ = std::move(path);
}

CodecSettings TQuorvexCompress::Settings() const {
    CodecSettings settings;
    settings.OnShowProgress = onShowProgress_;
    settings.MinimumSaving = minimumSaving_;
    settings.Yield = yield_;
    return settings;
}

namespace {

// Reads up to count bytes, joining short reads; the bytes read.
std::int32_t ReadUpTo(TStream& stream, std::uint8_t* buffer, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count) {
        const std::int32_t n = stream.Read(buffer + done, count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

}  // namespace

void TQuorvexCompress::ReadArchiveHeader(TStream& stream, ArchiveHeader& header, std::string& methodId) const {
    methodId.resize(3);
    std::array<std::uint8_t, ArchiveHeader::kSize> bytes{};
    constexpr auto kHeaderSize = static_cast<std::int32_t>(ArchiveHeader::kSize);
    const std::int64_t size = stream.Size();
    if (size >= 0) {
        if (size - stream.Position() < kHeaderSize) {
            MakeDefaultHeader(header, methodId, 0, caMulti);
            return;
        }
        stream.ReadBuffer(bytes.data(), kHeaderSize);
    } else if (ReadUpTo(stream, bytes.data(), kHeaderSize) < kHeaderSize) {
        // A stream that cannot tell its size (a pipe) is read forward: one that ends within the
        // header's 21 bytes reads as the default header all the same.
        MakeDefaultHeader(header, methodId, 0, caMulti);
        return;
    }
    header = ArchiveHeader::Decode(bytes);
    if (header.Magic != kArchiveMagic) throw EInvalidHeader();
    if (header.ArchiveType != caMulti) throw EInvalidHeaderArchiveType();
    methodId.assign(header.MethodId.begin(), header.MethodId.end());
    RecognizeMethod(methodId);
    if (header.TotalSize < 0)
        throw EInvalidSize("negative total size " + std::to_string(header.TotalSize) + " in the archive header");
}

void TQuorvexCompress::MakeDefaultHeader(ArchiveHeader& header, const std::string& methodId, std::int32_t totalSize,
                                         std::uint8_t archiveType) {
    header = MakeArchiveHeader(methodId, totalSize, archiveType);
}

CompressMethod TQuorvexCompress::RecognizeMethod(const std::string& methodId) const {
    if (const auto method = MethodFromId(methodId)) return *method;
    if (onRecognize_) {
        bool recognized = false;
        onRecognize_(methodId, recognized);
        if (recognized) return cmCUS;
    }
    throw EUnrecognizedCompressionMethod(UnrecognizedMethodMessage(methodId));
}

bool TQuorvexCompress::ReadEntryHeader(TStream& stream, EntryHeader& entry, std::string& name) {
    std::array<std::uint8_t, EntryHeader::kSize> bytes{};
    if (stream.Read(bytes.data(), static_cast<std::int32_t>(bytes.size())) != static_cast<std::int32_t>(bytes.size()))
        return false;
    entry = EntryHeader::Decode(bytes);
    if (entry.NameLength < 0) return false;
    name.assign(static_cast<std::size_t>(entry.NameLength), '\0');
    return entry.NameLength == 0 || stream.Read(name.data(), entry.NameLength) == entry.NameLength;
}

namespace {

// Copies a stored entry's bytes in pieces of at most 61,440 bytes and returns their byte sum. A
// source that runs short is an archive cut inside the entry.
std::uint32_t CopyStored(TStream& dest, TStream& source, std::int32_t size) {
    const auto pieceSize = std::min<std::int32_t>(size, TStream::kCopyPieceSize);
    const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(pieceSize));
    std::uint32_t sum = 0;
    for (std::int32_t left = size; left > 0;) {
        const std::int32_t n = std::min(left, pieceSize);
        if (source.Read(piece.get(), n) != n) throw ETruncatedArchive(kStoredPastEndMessage);
        sum = ByteSum(piece.get(), static_cast<std::size_t>(n), sum);
        dest.WriteBuffer(piece.get(), n);
        left -= n;
    }
    return sum;
}

}  // namespace

void TQuorvexCompress::ExpandEntry(TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                                   std::uint32_t storedChecksum, CompressMethod method,
                                   const std::string& CompressID) const {
    if (Sourcesize < 0 || Destsize < 0) throw EInvalidSize("Negative size in archive entry");
    std::uint32_t computed = 0;
    switch (method) {
        case cmNON:
            if (Destsize != Sourcesize)
                throw EInvalidSize("stored entry of " + std::to_string(Sourcesize) +
                                   " bytes claims an expanded size of " + std::to_string(Destsize));
            computed = CopyStored(dest, source, Sourcesize);
            if (!verifyStoredChecksums_ || storedChecksum == 0) return;
            break;
        case cmRLE:
        case cmLZH:
        case cmLH5: {
            const CodecResult result = ExpandCodec(Settings(), dest, source, Sourcesize, Destsize, method);
            // A cut expansion is not the entry's data, whatever its checksum.
            if (result.Cancelled) throw EBadChecksum();
            computed = result.Checksum;
            break;
        }
        case cmCUS:
            if (!onExpand_) throw ECustomMethodUnavailable();
            onExpand_(dest, source, Sourcesize, Destsize, CompressID, computed);
            break;
        default: throw EUnrecognizedCompressionMethod(UnknownEntryMethodMessage(MethodIndex(method)));
    }
    if (computed != storedChecksum) throw EBadChecksum();
}

}  // namespace qvx
