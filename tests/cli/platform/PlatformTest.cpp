// The platform layer's file system services, as the tool relies on them: the status of each kind
// of file, the error numbers of the usual faults, moves with and without replacing, listing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include <instcompress/FileStream.h>

#include "CliTestSupport.h"
#include "cli/ErrorReport.h"
#include "platform/FileStreams.h"
#include "platform/FileSystem.h"

namespace qvx::cli::test {
namespace {

namespace p = qvx::platform;
using PlatformTest = CliTest;

TEST_F(PlatformTest, StatusTellsEachKindOfFile) {
    Write("dir/file", "12345");
    std::filesystem::last_write_time(Path("dir/file"), std::filesystem::file_time_type::clock::now());
    ASSERT_EQ(::chmod(Path("dir/file").c_str(), 0500), 0);
    std::filesystem::create_symlink("file", Path("dir/link"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    struct Case {
        std::string Path;
        p::Links Links;
        p::FileType Type;
    };
    const std::vector<Case> cases = {
        {"dir/file", p::Links::Follow, p::FileType::Regular},
        {"dir", p::Links::Follow, p::FileType::Directory},
        {"dir/link", p::Links::Follow, p::FileType::Regular},
        {"dir/link", p::Links::DoNotFollow, p::FileType::SymbolicLink},
        {"fifo", p::Links::Follow, p::FileType::Other},
    };
    for (const Case& c : cases) {
        p::FileStatus st;
        ASSERT_EQ(p::GetStatus(Path(c.Path).string(), st, c.Links), 0) << c.Path;
        EXPECT_EQ(st.Type, c.Type) << c.Path;
    }
    p::FileStatus file;
    p::FileStatus viaLink;
    ASSERT_EQ(p::GetStatus(Path("dir/file").string(), file), 0);
    ASSERT_EQ(p::GetStatus(Path("dir/link").string(), viaLink), 0);
    EXPECT_EQ(file.Size, 5);
    EXPECT_TRUE(file.ReadOnly);
    EXPECT_TRUE(file.Executable);
    EXPECT_EQ(file.Attributes, p::kReadOnlyAttribute | p::kArchiveAttribute);
    EXPECT_EQ(std::make_pair(file.Device, file.Identity), std::make_pair(viaLink.Device, viaLink.Identity));
    p::FileStatus missing;
    EXPECT_EQ(p::GetStatus(Path("nothing").string(), missing), ENOENT);
}

TEST_F(PlatformTest, FaultsGiveTheirErrorNumbers) {
    Write("file", "x");
    std::unique_ptr<FileStream> stream;
    std::vector<std::string> names;
    struct Case {
        const char* What;
        int Got;
        int Expected;
    };
    const Case cases[] = {
        {"read a directory", FileStream::Open(dir_.string(), p::OpenMode::Read, stream), EISDIR},
        {"read a missing file", FileStream::Open(Path("none").string(), p::OpenMode::Read, stream), ENOENT},
        {"create an existing file", FileStream::Open(Path("file").string(), p::OpenMode::CreateNew, stream), EEXIST},
        {"list a file", p::ListDirectory(Path("file").string(), names), ENOTDIR},
        {"make an existing directory", p::MakeDirectory(dir_.string()), EEXIST},
        {"remove a missing file", p::RemoveFile(Path("none").string()), ENOENT},
    };
    for (const Case& c : cases) EXPECT_EQ(c.Got, c.Expected) << c.What;
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(p::ErrorText(ENOENT), "No such file or directory");
}

TEST_F(PlatformTest, MoveReplacesOnlyWhenAsked) {
    Write("from", "new");
    Write("to", "old");
    EXPECT_EQ(p::RenameFile(Path("from").string(), Path("to").string(), false), EEXIST);
    EXPECT_EQ(Read("from"), "new");
    EXPECT_EQ(Read("to"), "old");
    EXPECT_EQ(p::RenameFile(Path("from").string(), Path("to").string(), true), 0);
    EXPECT_EQ(Tree(), std::vector<std::string>{"to"});
    EXPECT_EQ(Read("to"), "new");
    EXPECT_EQ(p::RenameFile(Path("to").string(), Path("fresh").string(), false), 0);
    EXPECT_EQ(Tree(), std::vector<std::string>{"fresh"});
}

TEST_F(PlatformTest, ListingGivesTheNamesOnly) {
    for (const char* name : {"a b", "\xc3\xa4pfel.txt", ".hidden"}) Write(std::string("d/") + name, "x");
    ASSERT_EQ(p::MakeDirectory(Path("d/sub").string()), 0);
    std::vector<std::string> names;
    ASSERT_EQ(p::ListDirectory(Path("d").string(), names), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a b", "sub", "\xc3\xa4pfel.txt"}));
}

TEST_F(PlatformTest, WritingAnExistingFileKeepsWhatLiesBehind) {
    Write("file", "0123456789");
    {
        std::unique_ptr<FileStream> out;
        ASSERT_EQ(FileStream::Open(Path("file").string(), p::OpenMode::WriteExisting, out), 0);
        out->WriteBuffer("ab", 2);
    }
    EXPECT_EQ(Read("file"), "ab23456789");
}

TEST_F(PlatformTest, AFileHeldExclusivelyIsInUseAtOnce) {
    Write("busy", "x");
    TFileStream holder(Path("busy").string(), FileMode::ReadExclusive);
    try {
        OpenReadFile(Path("busy").string());
        FAIL() << "opened a file held exclusively";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "File is in use by another program");
    }
    // Readers share: a second read-shared opener is no fault.
    Write("shared", "x");
    TFileStream reader(Path("shared").string(), FileMode::ReadShared);
    EXPECT_EQ(OpenReadFile(Path("shared").string())->Size(), 1);
}

TEST_F(PlatformTest, AnonymousTemporaryFilesHaveNoName) {
    auto a = AnonymousTemporaryFile("qvx-platform-test");
    a->WriteBuffer("abc", 3);
    a->SetPosition(0);
    char back[3] = {};
    a->ReadBuffer(back, 3);
    EXPECT_EQ(std::string(back, 3), "abc");
    EXPECT_TRUE(a->IsRegularFile());
    for (const auto& entry : std::filesystem::directory_iterator(p::TemporaryDirectory()))
        EXPECT_EQ(entry.path().filename().string().rfind("qvx-platform-test", 0), std::string::npos);
}

}  // namespace
}  // namespace qvx::cli::test
