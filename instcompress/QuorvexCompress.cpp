#include "QuorvexCompress.h"

#include "ArchiveWalker.h"
#include "CodecEngine.h"
#include "Exceptions.h"
#include "FileStream.h"

namespace qvx {

std::string UnrecognizedMethodMessage(const std::string& methodId) {
    return "Unrecognized compression method: \"" + methodId + "\" in header";
}

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

void TQuorvexCompress::ExpandEntryByName(const std::string& archivePath, TStream& dest,
                                         const std::string& entryName) {
    WalkArchive(archivePath, [&](const ArchiveEntry& entry) -> TStream* {
        return SameEntryName(entry.Name, entryName) ? &dest : nullptr;
    });
}

void TQuorvexCompress::WalkArchive(const std::string& archivePath, const TEntryVisitor& visitor) {
    TFileStream archive(archivePath, FileMode::ReadExclusive);
    WalkArchive(archive, visitor);
}

void TQuorvexCompress::WalkArchive(TStream& archive, const TEntryVisitor& visitor) {
    ArchiveWalker walker(*this, archive);
    ArchiveEntry entry;
    while (walker.Next(entry)) {
        if (TStream* dest = visitor(entry)) {
            walker.Expand(entry, *dest);
        } else {
            walker.Skip(entry);
        }
    }
}

void TQuorvexCompress::ReadArchiveHeader(TStream& stream, ArchiveHeader& header, std::string& methodId) const {
    methodId.resize(3);
    if (stream.Size() - stream.Position() < static_cast<std::int64_t>(ArchiveHeader::kSize)) {
        MakeDefaultHeader(header, methodId, 0, caMulti);
        return;
    }
    std::array<std::uint8_t, ArchiveHeader::kSize> bytes{};
    stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    header = ArchiveHeader::Decode(bytes);
    if (header.Magic != kArchiveMagic) throw EInvalidHeader();
    if (header.ArchiveType != caMulti) throw EInvalidHeaderArchiveType();
    methodId.assign(header.MethodId.begin(), header.MethodId.end());
    RecognizeMethod(methodId);
}

void TQuorvexCompress::MakeDefaultHeader(ArchiveHeader& header, const std::string& methodId,
                                         std::int32_t totalSize, std::uint8_t archiveType) {
    header = ArchiveHeader{};
    header.Magic = kArchiveMagic;
    for (std::size_t i = 0; i < 3; ++i) header.MethodId[i] = i < methodId.size() ? methodId[i] : '\0';
    header.TotalSize = totalSize;
    header.ArchiveType = archiveType;
}

std::uint8_t TQuorvexCompress::RecognizeMethod(const std::string& methodId) const {
    for (std::size_t i = 0; i < MethodIds.size(); ++i) {
        if (methodId == MethodIds[i]) return static_cast<std::uint8_t>(i);
    }
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

void TQuorvexCompress::ExpandEntry(TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                                   std::uint32_t storedChecksum, std::uint8_t method,
                                   const std::string& CompressID) const {
    std::uint32_t computed = 0;
    switch (method) {
        case cmNON:
            if (Sourcesize > 0) dest.CopyFrom(source, Sourcesize);
            break;
        case cmRLE:
        case cmLZH:
        case cmLH5:
            RunCodec(*this, dest, source, Sourcesize, Destsize, method, computed, true);
            break;
        case cmCUS:
            if (onExpand_) {
                onExpand_(dest, source, Sourcesize, Destsize, CompressID, computed);
                break;
            }
            [[fallthrough]];
        default:
            // Nothing can expand these bytes; moving over them keeps the walk on the entry boundaries.
            if (Sourcesize > 0) source.Seek(Sourcesize, SeekOrigin::Current);
            break;
    }
    if (method != cmNON && computed != storedChecksum) throw EBadChecksum();
}

}  // namespace qvx
