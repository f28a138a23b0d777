#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <fstream>
#include <random>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "Lh5TestEncoder.h"
#include "Lh5TestSupport.h"

namespace qvx::lh5 {
namespace {

using namespace lh5test;
using Bytes = std::vector<std::uint8_t>;

struct TestEntry {
    std::string Name;
    Bytes Data;    // expanded
    Bytes Stored;  // stored bytes
    CompressMethod Method = cmLH5;
};

Bytes BuildArchive(const std::vector<TestEntry>& entries) {
    std::int64_t total = 0;
    for (const auto& e : entries) total += static_cast<std::int64_t>(e.Data.size());
    ArchiveHeader header;
    TQuorvexCompress::MakeDefaultHeader(header, "LH5", static_cast<std::int32_t>(total), caMulti);
    const auto hb = header.Encode();
    Bytes out(hb.begin(), hb.end());
    for (const auto& e : entries) {
        EntryHeader h;
        h.NameLength = static_cast<std::int16_t>(e.Name.size());
        h.ExpandedSize = static_cast<std::int32_t>(e.Data.size());
        h.StoredSize = static_cast<std::int32_t>(e.Stored.size());
        h.MethodIndex = MethodIndex(e.Method);
        h.Checksum = ByteSum(e.Data.data(), e.Data.size());
        const auto eb = h.Encode();
        out.insert(out.end(), eb.begin(), eb.end());
        out.insert(out.end(), e.Name.begin(), e.Name.end());
        out.insert(out.end(), e.Stored.begin(), e.Stored.end());
    }
    return out;
}

class TempArchive {
public:
    explicit TempArchive(const Bytes& bytes) {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("qvx_lh5_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" + std::to_string(++counter) + ".qvx");
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempArchive() { std::filesystem::remove(path_); }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// An LH5 entry of only literals whose stored bytes are exactly the bytes the decoder pulls: the
// last stored byte is reached only by the 16-bit look-ahead. Searches literal counts of 8 and 9
// bits so that the stored size is exactly `storedSize`.
TestEntry LookAheadEntry(const std::string& name, std::size_t storedSize) {
    StreamWriter probe;
    probe.WriteHeader(1, FlatLengths(510), FlatLengths(14));
    const std::size_t headerBits = probe.Bits.BitCount();
    for (std::size_t m = 0;; ++m) {
        for (std::size_t k = 0; k < 9; ++k) {
            const std::size_t bits = headerBits + 8 * k + 9 * m;
            if ((bits + 16 + 7) / 8 != storedSize) continue;
            TestEntry e{name, {}, {}};
            for (std::size_t i = 0; i < k; ++i) e.Data.push_back(static_cast<std::uint8_t>(i % 2));  // 8-bit codes
            for (std::size_t i = 0; i < m; ++i) e.Data.push_back(static_cast<std::uint8_t>(2 + (i * 7) % 254));
            StreamWriter w;
            w.WriteHeader(static_cast<unsigned>(e.Data.size()), FlatLengths(510), FlatLengths(14));
            for (auto b : e.Data) w.WriteItem(Item::Literal(b));
            e.Stored = w.Bits.Bytes();
            e.Stored.resize(storedSize, 0);
            return e;
        }
    }
}

Bytes Text(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    static const char* words[] = {"setup ", "archive ", "window ", "entry ", "quorvex ", "block ", "code "};
    Bytes data;
    while (data.size() < size) {
        const char* w = words[rng() % 7];
        while (*w && data.size() < size) data.push_back(static_cast<std::uint8_t>(*w++));
    }
    return data;
}

TEST(Lh5Archive, SeveralEntriesExpandInOneWalk) {
    std::vector<TestEntry> entries;
    // The encoder-style end: the last byte holds the last symbol's bits.
    entries.push_back({"Data\\Chunk", Text(3000, 1), {}});
    entries.back().Stored = EncodeLh5(entries.back().Data);
    // Stored bytes that end one and two bytes into the look-ahead, across an input block boundary.
    entries.push_back(LookAheadEntry("data\\chunk", 8193));
    entries.push_back(LookAheadEntry("DATA\\CHUNK", 8194));
    entries.push_back(LookAheadEntry("Data\\Chunk", 16385));
    entries.push_back({"Data\\Chunk", Text(20000, 2), {}});
    {
        StreamWriter s;
        s.WriteBlocks(Parse(entries.back().Data), 5000);
        const std::size_t pulled = (s.Bits.BitCount() + 16 + 7) / 8;
        entries.back().Stored = s.Bits.Bytes();
        entries.back().Stored.resize(pulled, 0);
    }
    // The worked seven-byte stream, then a stored entry.
    entries.push_back({"Data\\Chunk", Bytes(10, 0x41), {0x00, 0x0A, 0x00, 0x00, 0x04, 0x10, 0x00}});
    entries.push_back({"Data\\Chunk", Text(100, 3), {}, cmNON});
    entries.back().Stored = entries.back().Data;

    TempArchive file(BuildArchive(entries));
    TQuorvexCompress component;
    TMemoryStream dest;
    component.ExpandEntryByName(file.Path(), dest, "dATA\\cHUNK");
    Bytes want;
    for (const auto& e : entries) want.insert(want.end(), e.Data.begin(), e.Data.end());
    ASSERT_EQ(dest.Data().size(), want.size());
    EXPECT_TRUE(dest.Data() == want);
}

TEST(Lh5Archive, EachEntryLeavesTheStreamAtItsEnd) {
    std::vector<TestEntry> entries = {LookAheadEntry("a", 8193), LookAheadEntry("b", 300), LookAheadEntry("c", 8194)};
    entries.push_back({"d", Text(5000, 4), {}});
    entries.back().Stored = EncodeLh5(entries.back().Data);
    const Bytes archive = BuildArchive(entries);
    TMemoryStream stream(archive);
    TQuorvexCompress component;
    // Every entry header must be found where the previous entry's stored bytes end.
    std::size_t index = 0;
    std::int64_t expectedOffset = static_cast<std::int64_t>(ArchiveHeader::kSize);
    std::vector<std::unique_ptr<TMemoryStream>> sinks;
    WalkArchive(component, stream, [&](const ArchiveEntry& entry) -> TStream* {
        const TestEntry& want = entries.at(index++);
        expectedOffset += static_cast<std::int64_t>(EntryHeader::kSize + want.Name.size());
        EXPECT_EQ(entry.Name, want.Name);
        EXPECT_EQ(entry.DataOffset, expectedOffset);
        expectedOffset += static_cast<std::int64_t>(want.Stored.size());
        sinks.push_back(std::make_unique<TMemoryStream>());
        return sinks.back().get();
    });
    ASSERT_EQ(index, entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(sinks[i]->Data() == entries[i].Data) << i;
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(archive.size()));
}

TEST(Lh5Archive, DamagedLh5EntryFailsItsChecksum) {
    TestEntry e{"x", Text(4000, 5), {}};
    e.Stored = EncodeLh5(e.Data);
    e.Stored[e.Stored.size() / 2] ^= 0x10;
    TempArchive file(BuildArchive({e}));
    TQuorvexCompress component;
    TMemoryStream dest;
    try {
        component.ExpandEntryByName(file.Path(), dest, "x");
        FAIL() << "damage went unnoticed";
    } catch (const EBadChecksum&) {
    } catch (const ELZHBadDecodeTable&) {
        // the flipped bit may land in a block header
    }
}

TEST(Lh5Archive, BadDecodeTablePassesToTheCaller) {
    BitWriter w;
    w.WriteBits(16, 1);
    w.WriteBits(5, 2);
    w.WriteBits(3, 1);
    w.WriteBits(3, 2);  // incomplete code-length code
    TempArchive file(BuildArchive({{"bad", Bytes(5, 1), w.Bytes()}}));
    TQuorvexCompress component;
    TMemoryStream dest;
    EXPECT_THROW(component.ExpandEntryByName(file.Path(), dest, "bad"), ELZHBadDecodeTable);
}

}  // namespace
}  // namespace qvx::lh5
