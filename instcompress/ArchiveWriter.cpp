#include <instcompress/ArchiveWriter.h>

#include <utility>

#include <instcompress/Exceptions.h>

namespace qvx {

namespace {

constexpr std::int64_t kMaxSize = 0x7FFFFFFF;

ArchiveHeader MakeHeader(CompressMethod method, std::int32_t totalSize) {
    return MakeArchiveHeader(MethodId(method), totalSize, caMulti);
}

}  // namespace

ArchiveWriter::ArchiveWriter(TStream& out, CompressMethod method, TShowProgressEvent progress, YieldHook yield)
    : out_(out), compressor_(method, std::move(progress), std::move(yield)) {
    headerPosition_ = out_.Position();
    const auto bytes = MakeHeader(method, 0).Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void ArchiveWriter::CheckEntry(const EntryInfo& info, std::int64_t size) const {
    if (info.Name.size() > 0x7FFF) throw EInvalidSize("Entry name longer than 32767 bytes: " + info.Name);
    if (size < 0 || size > kMaxSize) throw EInvalidSize("Entry larger than 2 GB: " + info.Name);
    if (totalSize_ + size > kMaxSize) throw EInvalidSize("Archive contents exceed 2 GB");
}

std::int64_t ArchiveWriter::BeginEntry(const std::string& name) {
    const std::int64_t entryPosition = out_.Position();
    out_.SetPosition(entryPosition + static_cast<std::int64_t>(EntryHeader::kSize + name.size()));
    return entryPosition;
}

EntryHeader ArchiveWriter::EndEntry(const EntryInfo& info, std::int64_t entryPosition, const PreparedEntry& entry) {
    EntryHeader header;
    header.NameLength = static_cast<std::int16_t>(info.Name.size());
    header.FileTime = info.Stamp.Time;
    header.FileDate = info.Stamp.Date;
    header.Attributes = info.Attributes;
    header.ExpandedSize = entry.ExpandedSize;
    header.StoredSize = entry.StoredSize;
    header.Checksum = entry.Checksum;
    header.MethodIndex = MethodIndex(entry.Method);

    const std::int64_t endPosition = out_.Position();
    out_.SetPosition(entryPosition);
    const auto bytes = header.Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    out_.WriteBuffer(info.Name.data(), header.NameLength);
    out_.SetPosition(endPosition);

    totalSize_ += entry.ExpandedSize;
    emptyAtEnd_ = entry.ExpandedSize == 0;
    return header;
}

EntryHeader ArchiveWriter::AddEntry(const EntryInfo& info, TStream& source, std::int64_t size) {
    CheckEntry(info, size);
    const std::int64_t entryPosition = BeginEntry(info.Name);
    const PreparedEntry entry = compressor_.Prepare(info.Name, source, static_cast<std::int32_t>(size), out_);
    return EndEntry(info, entryPosition, entry);
}

EntryHeader ArchiveWriter::AddPreparedEntry(const EntryInfo& info, const PreparedEntry& entry, TStream& data) {
    CheckEntry(info, entry.ExpandedSize);
    if (entry.Method != cmNON && entry.Method != compressor_.Method())
        throw EInvalidSize("Prepared entry uses another method than the archive: " + info.Name);
    if (entry.StoredSize < 0 || (entry.Method == cmNON && entry.StoredSize != entry.ExpandedSize))
        throw EInvalidSize("Prepared entry has inconsistent sizes: " + info.Name);
    const std::int64_t entryPosition = BeginEntry(info.Name);
    if (entry.StoredSize > 0) out_.CopyFrom(data, entry.StoredSize);
    return EndEntry(info, entryPosition, entry);
}

void ArchiveWriter::Finish() {
    if (emptyAtEnd_) throw EInvalidSize("An archive cannot end with an empty entry (readers stop at the total size)");
    const std::int64_t endPosition = out_.Position();
    out_.SetPosition(headerPosition_);
    const auto bytes = MakeHeader(Method(), static_cast<std::int32_t>(totalSize_)).Encode();
    out_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    out_.SetPosition(endPosition);
}

}  // namespace qvx
