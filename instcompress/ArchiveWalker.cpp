#include <instcompress/ArchiveWalker.h>

#include <algorithm>

#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>

namespace qvx {

ArchiveWalker::ArchiveWalker(const TQuorvexCompress& component, TStream& archive)
    : component_(component), archive_(archive) {
    component_.ReadArchiveHeader(archive_, header_, methodId_);
    end_ = archive_.Size();
}

bool ArchiveWalker::Next(ArchiveEntry& entry) {
    if (!TQuorvexCompress::ReadEntryHeader(archive_, entry.Header, entry.Name)) {
        CheckEnd(nullptr);
        return false;
    }
    if (sum_ >= header_.TotalSize) {
        CheckEnd(&entry.Header);
        return false;
    }
    const EntryHeader& h = entry.Header;
    if (h.StoredSize < 0 || h.ExpandedSize < 0) throw EInvalidSize("Negative size in archive entry");
    if (sum_ + h.ExpandedSize > 0x7FFFFFFF) throw EInvalidSize("Archive entry sizes exceed 2 GB in all");
    entry.DataOffset = archive_.Position();
    if (end_ >= 0 && entry.DataOffset >= 0 && h.StoredSize > end_ - entry.DataOffset)
        throw ETruncatedArchive(std::string(kStoredPastEndMessage) + ": stored size " + std::to_string(h.StoredSize) +
                                ", " + std::to_string(std::max<std::int64_t>(0, end_ - entry.DataOffset)) +
                                " bytes left");
    sum_ += h.ExpandedSize;
    return true;
}

void ArchiveWalker::CheckEnd(const EntryHeader* next) const {
    const std::int64_t total = header_.TotalSize;
    if (sum_ < total)
        throw ETruncatedArchive("archive is truncated: its entries hold " + std::to_string(sum_) + " of " +
                                std::to_string(total) + " bytes");
    if (sum_ > total)
        throw EInvalidSize("the entries hold " + std::to_string(sum_) + " bytes, more than the header's total size " +
                           std::to_string(total));
    // Entries of size 0 past the total cannot be reached by any reader; they change nothing.
    if (next != nullptr && next->ExpandedSize != 0)
        throw EInvalidSize("the header's total size " + std::to_string(total) + " leaves out a further entry of " +
                           std::to_string(next->ExpandedSize) + (next->ExpandedSize == 1 ? " byte" : " bytes"));
}

void ArchiveWalker::Expand(const ArchiveEntry& entry, TStream& dest) {
    const EntryHeader& h = entry.Header;
    component_.ExpandEntry(dest, archive_, h.StoredSize, h.ExpandedSize, h.Checksum, h.Method(), methodId_);
    // A well-formed entry leaves the stream exactly here already. A damaged one (stored bytes the
    // decoder never needed, or a custom handler that read too little or too much) would otherwise
    // make the walk read the next entry header from the wrong place.
    SeekPastEntry(entry);
}

void ArchiveWalker::Skip(const ArchiveEntry& entry) { archive_.Seek(entry.Header.StoredSize, SeekOrigin::Current); }

void ArchiveWalker::SeekPastEntry(const ArchiveEntry& entry) {
    archive_.SetPosition(entry.DataOffset + entry.Header.StoredSize);
}

void WalkArchive(const TQuorvexCompress& component, TStream& archive, const TEntryVisitor& visitor) {
    ArchiveWalker walker(component, archive);
    ArchiveEntry entry;
    while (walker.Next(entry)) {
        if (TStream* dest = visitor(entry)) {
            walker.Expand(entry, *dest);
        } else {
            walker.Skip(entry);
        }
    }
}

void WalkArchive(const TQuorvexCompress& component, const std::string& archivePath, const TEntryVisitor& visitor) {
    TFileStream archive(archivePath, FileMode::ReadExclusive);
    WalkArchive(component, archive, visitor);
}

}  // namespace qvx
