#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "AtomicFile.h"
#include "CliTestSupport.h"
#include "ErrorReport.h"

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

}  // namespace
}  // namespace qvx::cli::test
