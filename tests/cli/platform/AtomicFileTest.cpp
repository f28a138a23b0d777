#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "platform/AtomicFile.h"
#include "CliTestSupport.h"
#include "cli/ErrorReport.h"

namespace qvx::cli::test {
namespace {

using AtomicFileTest = CliTest;

TEST_F(AtomicFileTest, NothingAppearsUntilCommit) {
    {
        AtomicFile f(Path("out.bin"));
        f.Stream().WriteBuffer("abc", 3);
        EXPECT_FALSE(Exists("out.bin"));
        EXPECT_EQ(Tree().size(), 1u);  // the temporary sibling
        f.Commit(false);
    }
    EXPECT_EQ(Read("out.bin"), "abc");
    EXPECT_EQ(Tree(), std::vector<std::string>{"out.bin"});
}

TEST_F(AtomicFileTest, DiscardedWithoutCommitLeavesTargetAlone) {
    Write("keep", "old");
    {
        AtomicFile f(Path("keep"));
        f.Stream().WriteBuffer("new", 3);
    }
    EXPECT_EQ(Read("keep"), "old");
    EXPECT_EQ(Tree(), std::vector<std::string>{"keep"});
}

TEST_F(AtomicFileTest, NoOverwriteUnlessAsked) {
    Write("keep", "old");
    {
        AtomicFile f(Path("keep"));
        f.Stream().WriteBuffer("new", 3);
        EXPECT_THROW(f.Commit(false), FileError);
    }
    EXPECT_EQ(Read("keep"), "old");
    EXPECT_EQ(Tree(), std::vector<std::string>{"keep"});
    {
        AtomicFile f(Path("keep"));
        f.Stream().WriteBuffer("new", 3);
        f.Commit(true);
    }
    EXPECT_EQ(Read("keep"), "new");
}

TEST_F(AtomicFileTest, ReadOnlyAndTimeAreApplied) {
    {
        AtomicFile f(Path("ro"));
        f.SetReadOnly(true);
        f.SetModificationTime(1000000000);
        f.Commit(false);
    }
    struct stat st {};
    ASSERT_EQ(::stat(Path("ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(st.st_mtime, 1000000000);
}

TEST_F(AtomicFileTest, MissingDirectoryIsReportedAboutTheTarget) {
    try {
        AtomicFile f(Path("no/such/dir/file"));
        FAIL() << "created";
    } catch (const FileError& e) {
        EXPECT_EQ(e.File(), Path("no/such/dir/file").string());
        EXPECT_STREQ(e.what(), "No such file or directory");
    }
}

TEST_F(AtomicFileTest, ADirectoryInTheWayFailsTheCommitAndLeavesNoTemporary) {
    Write("dir/inside", "x");
    {
        AtomicFile f(Path("dir"));
        f.Stream().WriteBuffer("abc", 3);
        try {
            f.Commit(true);
            FAIL() << "renamed over a directory";
        } catch (const FileError& e) {
            EXPECT_EQ(e.File(), Path("dir").string());
            EXPECT_STREQ(e.what(), "Is a directory");
        }
    }
    EXPECT_EQ(Tree(), (std::vector<std::string>{"dir", "dir/inside"}));
}

TEST_F(AtomicFileTest, ExecutableTakesTheReadBits) {
    {
        AtomicFile f(Path("run"));
        f.SetExecutable(true);
        f.Commit(false);
    }
    struct stat st {};
    ASSERT_EQ(::stat(Path("run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, (DefaultFileMode() | ((DefaultFileMode() & 0444) >> 2)));
    EXPECT_NE(st.st_mode & 0100, 0u);
}

// A FIFO (like a device) is written in place on Commit: it stays what it is and its reader gets
// the data.
TEST_F(AtomicFileTest, ASpecialFileIsWrittenInPlace) {
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    std::string drained;
    std::thread reader([&] {
        std::ifstream in(Path("pipe"), std::ios::binary);
        drained.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    {
        AtomicFile f(Path("pipe"));
        EXPECT_TRUE(f.WritesInPlace());
        f.Stream().WriteBuffer("through", 7);
        EXPECT_THROW(f.Commit(false), FileError);  // an existing target, as for a regular file
        f.Commit(true);
    }
    reader.join();
    EXPECT_EQ(drained, "through");
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
    EXPECT_EQ(Tree(), std::vector<std::string>{"pipe"});
}

}  // namespace
}  // namespace qvx::cli::test
