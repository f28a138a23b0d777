#include <instcompress/ArchiveWalker.h>

#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>

namespace qvx {

ArchiveWalker::ArchiveWalker(const TQuorvexCompress& component, TStream& archive)
    : component_(component), archive_(archive) {
    component_.ReadArchiveHeader(archive_, header_, methodId_);
}

bool ArchiveWalker::Next(ArchiveEntry& entry) {
    if (!TQuorvexCompress::ReadEntryHeader(archive_, entry.Header, entry.Name)) return false;
    if (sum_ >= header_.TotalSize) return false;
    const EntryHeader& h = entry.Header;
    if (h.StoredSize < 0 || h.ExpandedSize < 0) throw EInvalidSize("Negative size in archive entry");
    if (sum_ + h.ExpandedSize > 0x7FFFFFFF) throw EInvalidSize("Archive entry sizes exceed 2 GB in all");
    sum_ += h.ExpandedSize;
    entry.DataOffset = archive_.Position();
    return true;
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
