// The archive writer with LH5: compressible entries are stored LH5 and expand back through the
// archive component; entries that do not shrink are stored NON.
#include <gtest/gtest.h>

#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/ArchiveWriter.h>

#include "Lh5TestSupport.h"

namespace qvx::lh5test {
namespace {

TEST(Lh5ArchiveWriter, CompressibleEntriesAreLh5AndIncompressibleOnesAreStored) {
    Bytes text;
    for (int i = 0; i < 3000; ++i) {
        const std::string line = "entry " + std::to_string(i % 37) + " of the installer archive\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    const Bytes noise = RandomBytes(10000, 21);
    const Bytes runs(70000, 'z');
    const std::vector<std::pair<std::string, const Bytes*>> entries = {
        {"Installer\\readme.txt", &text}, {"noise.bin", &noise}, {"runs.bin", &runs}};

    TMemoryStream archive;
    ArchiveWriter writer(archive, cmLH5);
    std::vector<EntryHeader> headers;
    for (const auto& [name, data] : entries) {
        TMemoryStream source(*data);
        EntryInfo info;
        info.Name = name;
        headers.push_back(writer.AddEntry(info, source, static_cast<std::int64_t>(data->size())));
    }
    writer.Finish();

    EXPECT_EQ(headers[0].Method(), cmLH5);
    EXPECT_LT(headers[0].StoredSize, static_cast<std::int32_t>(text.size()) / 4);
    EXPECT_EQ(headers[0].Checksum, ByteSum(text.data(), text.size(), 0));
    EXPECT_EQ(headers[1].Method(), cmNON);  // "Could not compress data": stored as it is
    EXPECT_EQ(headers[1].StoredSize, 10000);
    EXPECT_EQ(headers[2].Method(), cmLH5);

    TMemoryStream reader(archive.Data());
    TQuorvexCompress component;
    std::vector<std::unique_ptr<TMemoryStream>> sinks;
    WalkArchive(component, reader, [&](const ArchiveEntry&) -> TStream* {
        sinks.push_back(std::make_unique<TMemoryStream>());
        return sinks.back().get();
    });
    ASSERT_EQ(sinks.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(sinks[i]->Data() == *entries[i].second) << i;
}

}  // namespace
}  // namespace qvx::lh5test
