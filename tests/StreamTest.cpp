#include <gtest/gtest.h>

#include <numeric>

#include <instcompress/FileStream.h>
#include <instcompress/MemoryStream.h>

#include "TestSupport.h"

namespace qvx::test {
namespace {

TEST(StreamBuffer, ReadBufferShortRaisesReadError) {
    TMemoryStream s(ToBytes("abc"));
    std::uint8_t buf[4]{};
    EXPECT_EQ(MessageOf<EReadError>([&] { s.ReadBuffer(buf, 4); }), "Stream read error");
}

TEST(StreamBuffer, WriteBufferShortRaisesWriteError) {
    ProbeStream s;
    s.FailWritesAfter = 2;
    const std::uint8_t buf[3] = {1, 2, 3};
    EXPECT_EQ(MessageOf<EWriteError>([&] { s.WriteBuffer(buf, 3); }), "Stream write error");
}

TEST(StreamBuffer, ZeroCountDoesNothing) {
    FailingWriteStream failing;
    ProbeStream empty;
    std::uint8_t buf[1]{};
    EXPECT_NO_THROW(failing.WriteBuffer(buf, 0));
    EXPECT_NO_THROW(empty.ReadBuffer(buf, 0));
    EXPECT_TRUE(empty.ReadRequests.empty());
}

TEST(StreamCopyFrom, CopiesInPiecesOf61440) {
    Bytes data(150000);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    Bytes source = ToBytes("xyz");
    Append(source, data);
    ProbeStream src(source);
    src.Seek(3, SeekOrigin::Begin);
    ProbeStream dst;
    dst.CopyFrom(src, 150000);
    EXPECT_EQ(dst.Data(), data);
    EXPECT_EQ(src.ReadRequests, (std::vector<std::int32_t>{61440, 61440, 27120}));
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{61440, 61440, 27120}));
    EXPECT_EQ(src.Pos(), 150003);
}

TEST(StreamCopyFrom, CountZeroCopiesNothing) {
    ProbeStream src(ToBytes("abc"));
    ProbeStream dst;
    dst.CopyFrom(src, 0);
    EXPECT_TRUE(src.ReadRequests.empty());
    EXPECT_TRUE(dst.WriteSizes.empty());
    EXPECT_EQ(src.Pos(), 0);
}

TEST(StreamCopyFrom, ShortSourceRaisesReadError) {
    ProbeStream src(ToBytes("abc"));
    ProbeStream dst;
    EXPECT_EQ(MessageOf<EReadError>([&] { dst.CopyFrom(src, 4); }), "Stream read error");
}

TEST(StreamCopyFrom, FailingDestRaisesWriteError) {
    ProbeStream src(ToBytes("abc"));
    FailingWriteStream dst;
    EXPECT_EQ(MessageOf<EWriteError>([&] { dst.CopyFrom(src, 3); }), "Stream write error");
}

TEST(MemoryStream, ReadWriteSeekSize) {
    TMemoryStream s;
    EXPECT_EQ(s.Write("hello", 5), 5);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.Seek(-2, SeekOrigin::End), 3);
    char buf[8]{};
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "lo");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(1);
    EXPECT_EQ(s.Write("EY", 2), 2);
    EXPECT_EQ(s.Data(), ToBytes("hEYlo"));
}

TEST(NullStream, CountsAndDiscards) {
    TNullStream s;
    EXPECT_EQ(s.Write("abc", 3), 3);
    EXPECT_EQ(s.Size(), 3);
    char buf[2];
    EXPECT_EQ(s.Read(buf, 2), 0);
}

class FileStreamTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(FileStreamTest, CreateWriteThenReadBack) {
    const std::string path = dir.Path("a.bin");
    {
        TFileStream f(path, FileMode::Create);
        f.WriteBuffer("abcdef", 6);
        EXPECT_EQ(f.Size(), 6);
        EXPECT_EQ(f.Position(), 6);
        f.SetPosition(2);
        char c[2];
        f.ReadBuffer(c, 2);
        EXPECT_EQ(std::string(c, 2), "cd");
    }
    TFileStream r(path, FileMode::ReadShared);
    char buf[10]{};
    EXPECT_EQ(r.Read(buf, 10), 6);
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    EXPECT_EQ(r.Read(buf, 10), 0);
    EXPECT_EQ(r.Write("x", 1), 0);  // read access only
}

TEST_F(FileStreamTest, CreateTruncatesExistingFile) {
    const std::string path = dir.Write("t.bin", ToBytes("0123456789"));
    {
        TFileStream f(path, FileMode::Create);
        f.WriteBuffer("ab", 2);
    }
    EXPECT_EQ(TempDir::ReadFile(path), ToBytes("ab"));
}

TEST_F(FileStreamTest, OpenMissingFileNamesThePath) {
    const std::string path = dir.Path("missing.bin");
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream f(path, FileMode::ReadShared); }), "Cannot open file " + path);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream f(path, FileMode::ReadExclusive); }),
              "Cannot open file " + path);
}

TEST_F(FileStreamTest, CreateInMissingDirectoryNamesThePath) {
    const std::string path = dir.Path("no-such-dir/x.bin");
    EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream f(path, FileMode::Create); }), "Cannot create file " + path);
}

TEST_F(FileStreamTest, TwoReadSharedOpenersCoexist) {
    const std::string path = dir.Write("s.bin", ToBytes("data"));
    TFileStream a(path, FileMode::ReadShared);
    TFileStream b(path, FileMode::ReadShared);
    char buf[4];
    a.ReadBuffer(buf, 4);
    b.ReadBuffer(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "data");
}

TEST_F(FileStreamTest, ExclusiveExcludesOtherOpeners) {
    const std::string path = dir.Write("x.bin", ToBytes("data"));
    {
        TFileStream shared(path, FileMode::ReadShared);
        EXPECT_THROW(TFileStream(path, FileMode::ReadExclusive), EFOpenError);
        EXPECT_THROW(TFileStream(path, FileMode::Create), EFCreateError);
    }
    {
        TFileStream exclusive(path, FileMode::ReadExclusive);
        EXPECT_THROW(TFileStream(path, FileMode::ReadShared), EFOpenError);
        EXPECT_THROW(TFileStream(path, FileMode::ReadExclusive), EFOpenError);
    }
    // Released on destruction: opening works again.
    EXPECT_NO_THROW(TFileStream(path, FileMode::ReadExclusive));
}

TEST_F(FileStreamTest, CreateDoesNotTruncateAFileHeldByAnother) {
    const std::string path = dir.Write("h.bin", ToBytes("keep me"));
    {
        TFileStream holder(path, FileMode::ReadExclusive);
        EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream f(path, FileMode::Create); }),
                  "Cannot create file " + path);
    }
    {
        TFileStream writer(path, FileMode::Create);
        EXPECT_THROW(TFileStream(path, FileMode::ReadShared), EFOpenError);
        writer.WriteBuffer("new", 3);
    }
    EXPECT_EQ(TempDir::ReadFile(path), ToBytes("new"));
}

TEST_F(FileStreamTest, ADirectoryIsNoFile) {
    const std::string path = dir.Path("sub");
    std::filesystem::create_directory(path);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream f(path, FileMode::ReadShared); }), "Cannot open file " + path);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream f(path, FileMode::ReadExclusive); }),
              "Cannot open file " + path);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream f(path, FileMode::Create); }), "Cannot create file " + path);
}

}  // namespace
}  // namespace qvx::test
