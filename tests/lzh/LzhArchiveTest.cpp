// LZH archives through the archive writer and the archive component.
#include <gtest/gtest.h>

#include <map>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/ArchiveWriter.h>

#include "DataGen.h"
#include "LzhTestSupport.h"

namespace qvx::lzhtest {
namespace {

struct Written {
    std::string name;
    Bytes data;
};

std::map<std::string, std::pair<EntryHeader, Bytes>> ReadBack(TMemoryStream& archive) {
    std::map<std::string, std::pair<EntryHeader, Bytes>> entries;
    std::map<std::string, TMemoryStream> outputs;
    TQuorvexCompress component;
    archive.SetPosition(0);
    WalkArchive(component, archive, [&](const ArchiveEntry& entry) -> TStream* {
        entries[entry.Name].first = entry.Header;
        return &outputs[entry.Name];
    });
    for (auto& [name, out] : outputs) entries[name].second = out.Data();
    return entries;
}

TEST(LzhArchive, IncompressibleEntryIsStoredAndReadsBack) {
    const std::vector<Written> files = {
        {"noise.bin", Noise(5000, 41)},
        {"docs\\readme.txt", TextLike(20000, 42)},
        {"tiny", FromString("a")},  // one byte: the stream (2 bytes) is larger
        {"binary.dat", BinaryLike(9000, 43)},
    };
    TMemoryStream archive;
    ArchiveWriter writer(archive, cmLZH);
    std::vector<EntryHeader> headers;
    for (const auto& f : files) {
        TMemoryStream source(f.data);
        headers.push_back(writer.AddEntry({f.name, {}, 0x20}, source, static_cast<std::int64_t>(f.data.size())));
    }
    writer.Finish();

    EXPECT_EQ(headers[0].Method(), cmNON);
    EXPECT_EQ(headers[0].StoredSize, 5000);
    EXPECT_EQ(headers[1].Method(), cmLZH);
    EXPECT_LT(headers[1].StoredSize, 10000);
    EXPECT_EQ(headers[2].Method(), cmNON);
    EXPECT_EQ(headers[3].Method(), cmLZH);

    const auto entries = ReadBack(archive);
    ASSERT_EQ(entries.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [header, data] = entries.at(files[i].name);
        EXPECT_EQ(header.MethodIndex, headers[i].MethodIndex) << files[i].name;
        EXPECT_EQ(header.Checksum, Sum(files[i].data)) << files[i].name;
        EXPECT_TRUE(data == files[i].data) << files[i].name;
    }
}

}  // namespace
}  // namespace qvx::lzhtest
