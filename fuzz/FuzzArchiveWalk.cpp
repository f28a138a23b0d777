// Arbitrary bytes as an archive: the walk with a name taken from the input (as ExpandEntryByName
// does it), then a walk that expands every entry. Damage must surface as the system's exceptions.
#include <string>

#include <instcompress/ArchiveWalker.h>

#include "FuzzSupport.h"

using namespace qvx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    const std::size_t nameLength = input.empty() ? 0 : std::min<std::size_t>(input[0], input.size() - 1);
    const std::string name(reinterpret_cast<const char*>(input.data()) + (input.empty() ? 0 : 1), nameLength);
    input = input.subspan(input.empty() ? 0 : 1 + nameLength);

    TQuorvexCompress component;
    component.SetOnRecognize([](const std::string& id, bool& recognized) { recognized = id == "XYZ"; });
    component.SetOnExpand([](TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t, const std::string&,
                             std::uint32_t& checksum) {
        // A custom method that stores bytes as they are, consuming exactly Sourcesize bytes.
        std::uint8_t piece[4096];
        for (std::int32_t left = Sourcesize; left > 0;) {
            const std::int32_t n = left < 4096 ? left : 4096;
            source.ReadBuffer(piece, n);
            dest.WriteBuffer(piece, n);
            checksum = ByteSum(piece, static_cast<std::size_t>(n), checksum);
            left -= n;
        }
    });

    try {
        TMemoryStream archive(input);
        fuzz::BoundedSink sink(fuzz::kMaxExpandedSize);
        WalkArchive(component, archive, [&](const ArchiveEntry& entry) -> TStream* {
            return SameEntryName(entry.Name, name) ? &sink : nullptr;
        });
    } catch (const qvx::Exception&) {
    }

    try {
        TMemoryStream archive(input);
        ArchiveWalker walker(component, archive);
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            fuzz::BoundedSink sink(fuzz::kMaxExpandedSize);
            try {
                walker.Expand(entry, sink);
            } catch (const qvx::Exception&) {
                walker.SeekPastEntry(entry);
            }
        }
    } catch (const qvx::Exception&) {
    }
    return 0;
}
