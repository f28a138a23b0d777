#include <gtest/gtest.h>

#include <ctime>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/ArchiveWriter.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/EntryCompressor.h>
#include <instcompress/QuorvexCompress.h>

#include "TestSupport.h"

namespace qvx::test {
namespace {

// A source that reports any size and delivers zeros, without holding the data.
class HugeZeroStream final : public TStream {
public:
    explicit HugeZeroStream(std::int64_t size) : size_(size) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const auto n = static_cast<std::int32_t>(std::clamp<std::int64_t>(size_ - position_, 0, count));
        std::memset(buffer, 0, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
        position_ = (origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position_ : size_) + offset;
        return position_;
    }

private:
    std::int64_t size_;
    std::int64_t position_ = 0;
};

EntryInfo Info(std::string name, DosStamp stamp = {}, std::uint16_t attributes = 0x20) {
    EntryInfo i;
    i.Name = std::move(name);
    i.Stamp = stamp;
    i.Attributes = attributes;
    return i;
}

TEST(ArchiveWriter, StoredArchiveBytesAndReadBack) {
    TMemoryStream out;
    const DosStamp stamp{static_cast<std::uint16_t>((13 << 11) | (45 << 5) | 15),
                         static_cast<std::uint16_t>((44 << 9) | (7 << 5) | 9)};  // 2024-07-09 13:45:30
    {
        ArchiveWriter w(out, cmNON);
        TMemoryStream a(ToBytes("hello")), b(ToBytes("\xFF\x01"));
        const EntryHeader ha = w.AddEntry(Info("Installer\\Quorvex.exe", stamp, 0x21), a, 5);
        EXPECT_EQ(ha.Method(), cmNON);
        EXPECT_EQ(ha.StoredSize, 5);
        EXPECT_EQ(ha.Checksum, Sum(ToBytes("hello")));
        w.AddEntry(Info("b"), b, 2);
        EXPECT_EQ(w.TotalSize(), 7);
        w.Finish();
    }
    TestEntry ea = StoredEntry("Installer\\Quorvex.exe", "hello");
    ea.FileTime = stamp.Time;
    ea.FileDate = stamp.Date;
    ea.Attributes = 0x21;
    const TestEntry eb = StoredEntry("b", "\xFF\x01");
    EXPECT_EQ(out.Data(), ArchiveBytes("NON", {ea, eb}));
    EXPECT_EQ(out.Position(), static_cast<std::int64_t>(out.Data().size()));

    TempDir dir;
    const std::string path = dir.Write("w.qvx", out.Data());
    TQuorvexCompress component;
    TMemoryStream engine;
    component.ExpandEntryByName(path, engine, "installer\\quorvex.EXE");
    EXPECT_EQ(engine.Data(), ToBytes("hello"));

    std::vector<ArchiveEntry> seen;
    WalkArchive(component, path, [&](const ArchiveEntry& e) -> TStream* {
        seen.push_back(e);
        return nullptr;
    });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Name, "Installer\\Quorvex.exe");
    EXPECT_EQ(seen[0].Header.FileTime, stamp.Time);
    EXPECT_EQ(seen[0].Header.FileDate, stamp.Date);
    EXPECT_EQ(seen[0].Header.Attributes, 0x21);
    EXPECT_EQ(seen[0].Header.ExpandedSize, 5);
    EXPECT_EQ(seen[0].DataOffset, 21 + 25 + 21);
    EXPECT_EQ(seen[1].Name, "b");
    EXPECT_EQ(seen[1].Header.Checksum, 0x100u);
    EXPECT_EQ(seen[1].Header.EntryReserved, 0u);
}

TEST(ArchiveWriter, WritesAtTheStreamPositionAndReadsFromTheSourcePosition) {
    TMemoryStream out(ToBytes("PAYLOAD:"));
    out.SetPosition(8);
    ArchiveWriter w(out, cmNON);
    TMemoryStream src(ToBytes("skip|data|rest"));
    src.SetPosition(5);
    w.AddEntry(Info("e"), src, 4);
    EXPECT_EQ(src.Position(), 9);
    w.Finish();
    Bytes expected = ToBytes("PAYLOAD:");
    Append(expected, ArchiveBytes("NON", {StoredEntry("e", "data")}));
    EXPECT_EQ(out.Data(), expected);
}

TEST(ArchiveWriter, EmptyArchiveAndEmptyEntryInTheMiddle) {
    TMemoryStream empty;
    ArchiveWriter(empty, cmNON).Finish();
    EXPECT_EQ(empty.Data(), HeaderBytes("NON", 0));

    TMemoryStream out;
    ArchiveWriter w(out, cmNON);
    TMemoryStream none, some(ToBytes("x"));
    w.AddEntry(Info("empty"), none, 0);
    w.AddEntry(Info("x"), some, 1);
    w.Finish();
    std::vector<std::string> names;
    TQuorvexCompress c;
    TMemoryStream in(out.Data());
    WalkArchive(c, in, [&](const ArchiveEntry& e) -> TStream* {
        names.push_back(e.Name);
        return nullptr;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "x"}));
}

TEST(ArchiveWriter, TrailingEmptyEntryIsRejected) {
    TMemoryStream out;
    ArchiveWriter w(out, cmNON);
    TMemoryStream some(ToBytes("x")), none;
    w.AddEntry(Info("x"), some, 1);
    w.AddEntry(Info("empty"), none, 0);
    EXPECT_THROW(w.Finish(), EInvalidSize);
}

TEST(ArchiveWriter, ShortSourceRaisesReadError) {
    TMemoryStream out;
    ArchiveWriter w(out, cmNON);
    TMemoryStream src(ToBytes("abc"));
    EXPECT_THROW(w.AddEntry(Info("x"), src, 4), EReadError);
}

TEST(ArchiveWriter, SizeLimitsAreRejectedBeforeAnythingIsWritten) {
    TMemoryStream out;
    ArchiveWriter w(out, cmNON);
    const auto headerOnly = out.Data();
    HugeZeroStream huge(std::int64_t{1} << 32);
    EXPECT_THROW(w.AddEntry(Info("big"), huge, std::int64_t{0x80000000}), EInvalidSize);
    EXPECT_THROW(w.AddEntry(Info("neg"), huge, -1), EInvalidSize);
    EXPECT_THROW(w.AddEntry(Info(std::string(0x8000, 'n')), huge, 1), EInvalidSize);
    EXPECT_EQ(out.Data(), headerOnly);
    EXPECT_EQ(huge.Position(), 0);

    TMemoryStream one(ToBytes("1"));
    w.AddEntry(Info("one"), one, 1);
    const auto afterOne = out.Data();
    // 1 + (2^31 - 1) passes the total's limit.
    EXPECT_THROW(w.AddEntry(Info("max"), huge, 0x7FFFFFFF), EInvalidSize);
    EXPECT_EQ(out.Data(), afterOne);
    EXPECT_EQ(huge.Position(), 0);
    EXPECT_EQ(w.TotalSize(), 1);
}

TEST(ArchiveWriter, LongestNameIsAccepted) {
    TMemoryStream out;
    ArchiveWriter w(out, cmNON);
    TMemoryStream src(ToBytes("z"));
    const std::string name(0x7FFF, 'n');
    w.AddEntry(Info(name), src, 1);
    w.Finish();
    TQuorvexCompress c;
    TMemoryStream in(out.Data()), dest;
    WalkArchive(c, in, [&](const ArchiveEntry& e) -> TStream* { return e.Name == name ? &dest : nullptr; });
    EXPECT_EQ(dest.Data(), ToBytes("z"));
}

TEST(ArchiveWriter, RejectsMethodsItCannotWrite) {
    TMemoryStream out;
    EXPECT_THROW(ArchiveWriter(out, cmRLE), EUnrecognizedCompressionMethod);
    EXPECT_THROW(ArchiveWriter(out, cmCUS), EUnrecognizedCompressionMethod);
    EXPECT_THROW(ArchiveWriter(out, CompressMethod{7}), EUnrecognizedCompressionMethod);
}

TEST(ArchiveWriter, CancelledCompressionRaisesInsteadOfWritingACutEntry) {
    // 40,000 compressible bytes take five input blocks; the handler cancels at the second.
    std::string text;
    while (text.size() < 40000) text += "the quick brown fox jumps over the lazy dog ";
    for (CompressMethod method : {cmLH5, cmLZH}) {
        int calls = 0;
        TMemoryStream out;
        ArchiveWriter writer(out, method, [&](std::int32_t& percentageDone) {
            if (++calls == 2) percentageDone = -1;
        });
        TMemoryStream source(ToBytes(text));
        EXPECT_THROW(writer.AddEntry(Info("cut"), source, static_cast<std::int64_t>(text.size())), EOperationCancelled);
        EXPECT_EQ(calls, 2);

        // A handler that only watches leaves the entry whole.
        int watched = 0;
        TMemoryStream whole;
        ArchiveWriter watcher(whole, method, [&](std::int32_t& percentageDone) {
            ++watched;
            EXPECT_GE(percentageDone, 0);
        });
        source.SetPosition(0);
        watcher.AddEntry(Info("whole"), source, static_cast<std::int64_t>(text.size()));
        watcher.Finish();
        EXPECT_EQ(watched, 5);
        whole.SetPosition(0);
        TMemoryStream expanded;
        TQuorvexCompress reader;
        WalkArchive(reader, whole, [&](const ArchiveEntry&) -> TStream* { return &expanded; });
        EXPECT_EQ(expanded.Data(), ToBytes(text));
    }
}

TEST(ArchiveWriter, PreparedEntriesGiveTheSameArchiveAsAddEntry) {
    // Compressible text, incompressible noise (stored as NON), an empty entry and one byte.
    std::string text;
    while (text.size() < 30000) text += "setup copies the installer engine to a temporary file; ";
    Bytes noise(5000);
    std::uint32_t x = 12345;
    for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    const std::vector<std::pair<std::string, Bytes>> entries = {
        {"empty", {}}, {"text.txt", ToBytes(text)}, {"noise.bin", noise}, {"one", ToBytes("x")}};
    for (CompressMethod method : {cmLH5, cmLZH, cmNON}) {
        TMemoryStream direct;
        {
            ArchiveWriter writer(direct, method);
            for (const auto& [name, data] : entries) {
                TMemoryStream source(data);
                writer.AddEntry(Info(name), source, static_cast<std::int64_t>(data.size()));
            }
            writer.Finish();
        }
        TMemoryStream prepared;
        {
            ArchiveWriter writer(prepared, method);
            EntryCompressor compressor(method);
            std::vector<CompressMethod> methods;
            for (const auto& [name, data] : entries) {
                TMemoryStream source(data);
                TMemoryStream stored;
                const PreparedEntry entry =
                    compressor.Prepare(name, source, static_cast<std::int32_t>(data.size()), stored);
                EXPECT_EQ(stored.Size(), entry.StoredSize);
                EXPECT_EQ(entry.Checksum, Sum(data));
                methods.push_back(entry.Method);
                stored.SetPosition(0);
                writer.AddPreparedEntry(Info(name), entry, stored);
            }
            writer.Finish();
            // The noise does not compress, so it is stored whatever the method.
            EXPECT_EQ(methods[2], cmNON);
            EXPECT_EQ(methods[1], method);
        }
        EXPECT_EQ(prepared.Data(), direct.Data()) << "method " << int(method);
    }
}

TEST(ArchiveWriter, PreparedEntryMustFitTheArchive) {
    TMemoryStream out;
    ArchiveWriter writer(out, cmLH5);
    TMemoryStream data(ToBytes("abc"));
    PreparedEntry lzh{cmLZH, 3, 3, 0};
    EXPECT_THROW(writer.AddPreparedEntry(Info("a"), lzh, data), EInvalidSize);
    PreparedEntry stored{cmNON, 5, 3, 0};
    EXPECT_THROW(writer.AddPreparedEntry(Info("a"), stored, data), EInvalidSize);
    PreparedEntry negative{cmLH5, 3, -1, 0};
    EXPECT_THROW(writer.AddPreparedEntry(Info("a"), negative, data), EInvalidSize);
    EXPECT_EQ(out.Size(), static_cast<std::int64_t>(ArchiveHeader::kSize));  // nothing written
    EXPECT_EQ(writer.TotalSize(), 0);
}

TEST(DosDateTime, PackedFieldsAndRoundTrip) {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 6;
    tm.tm_mday = 9;
    tm.tm_hour = 13;
    tm.tm_min = 45;
    tm.tm_sec = 31;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const DosStamp s = ToDosStamp(t);
    EXPECT_EQ(s.Time, 13 * 2048 + 45 * 32 + 15);
    EXPECT_EQ(s.Date, (2024 - 1980) * 512 + 7 * 32 + 9);
    EXPECT_EQ(FromDosStamp(s), t - 1);  // two-second resolution
}

TEST(DosDateTime, OutOfRangeYearsClamp) {
    std::tm tm{};
    tm.tm_year = 1975 - 1900;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    const DosStamp early = ToDosStamp(std::mktime(&tm));
    EXPECT_EQ(early.Time, 0);
    EXPECT_EQ(early.Date, (1 << 5) | 1);
}

}  // namespace
}  // namespace qvx::test
