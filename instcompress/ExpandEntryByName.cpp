// TQuorvexCompress::ExpandEntryByName: the component's one public operation, a walk that expands
// the entries of one name.
#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

namespace qvx {

void TQuorvexCompress::ExpandEntryByName(const std::string& archivePath, TStream& dest, const std::string& entryName) {
    WalkArchive(*this, archivePath, [&](const ArchiveEntry& entry) -> TStream* {
        return SameEntryName(entry.Name, entryName) ? &dest : nullptr;
    });
}

}  // namespace qvx
