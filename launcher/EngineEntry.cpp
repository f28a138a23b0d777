#include "EngineEntry.h"

#include <instcompress/ArchiveWalker.h>
#include <instcompress/QuorvexCompress.h>

#include "LauncherErrors.h"

namespace qvx::launcher {

namespace {

// Expands the matching entries; counts them and adds up the sizes they declare.
int ExpandMatches(TStream& archive, TStream& dest, const std::string& entryName, TShowProgressEvent progress,
                  std::int64_t& declared) {
    TQuorvexCompress component;
    component.SetOnShowProgress(std::move(progress));
    int matches = 0;
    WalkArchive(component, archive, [&](const ArchiveEntry& entry) -> TStream* {
        if (!SameEntryName(entry.Name, entryName)) return nullptr;
        ++matches;
        declared += entry.Header.ExpandedSize;
        return &dest;
    });
    return matches;
}

}  // namespace

int ExtractEntryToStream(TStream& archive, TStream& dest, const std::string& entryName, TShowProgressEvent progress) {
    std::int64_t declared = 0;
    return ExpandMatches(archive, dest, entryName, std::move(progress), declared);
}

std::int64_t ExpandEngineEntry(TStream& archive, TStream& dest) {
    archive.SetPosition(0);
    const std::int64_t start = dest.Position();
    std::int64_t declared = 0;
    const std::string name = kEngineEntryName;
    if (ExpandMatches(archive, dest, name, {}, declared) == 0)
        throw EEngineNotFound("The setup archive holds no entry " + name);
    const std::int64_t written = dest.Position() - start;
    if (written != declared) throw EEngineCheckError("The entry " + name + " did not expand to the size it declares");
    return written;
}

}  // namespace qvx::launcher
