// End-to-end runs of the archive commands: create, list, test, cat, extract.
#include <sys/stat.h>
#include <fcntl.h>
#include <time.h>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kStamp = 1700000000;  // an even second

class ArchiveRoundTrip : public CliTest {
protected:
    void MakeTree() {
        Write("src/readme.txt", PseudoRandomText(5000, 1));
        Write("src/bin/data.bin", PseudoRandomText(70000, 2));
        Write("src/bin/empty", "");
        Write("src/z-empty", "");
        Write("src/a/b/c/deep.txt", "deep\n");
        Write("src/locked.txt", "read only");
        for (const char* f : {"readme.txt", "bin/data.bin", "bin/empty", "z-empty", "a/b/c/deep.txt", "locked.txt"}) {
            const struct timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, Path(std::string("src/") + f).c_str(), times, 0), 0);
        }
        fs::permissions(Path("src/locked.txt"), fs::perms::owner_read | fs::perms::group_read);
    }

    // Creates, lists, tests and extracts an archive of the tree with the method.
    void RoundTrip(const std::string& method) {
        MakeTree();
        auto r = Qvx({"-q", "create", "-m", method, "-C", "src", "a.spis", "."});
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_EQ(r.Err, "");

        r = Qvx({"list", "--json", "a.spis"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        const auto j = nlohmann::json::parse(r.Out);
        std::vector<std::string> names;
        for (const auto& e : j["entries"]) names.push_back(e["name"]);
        EXPECT_EQ(names, (std::vector<std::string>{"bin\\empty", "z-empty", "a\\b\\c\\deep.txt", "bin\\data.bin",
                                                   "locked.txt", "readme.txt"}));
        EXPECT_EQ(j["totalSize"], 5000 + 70000 + 5 + 9);
        EXPECT_EQ(j["entries"][4]["attributes"], 0x21);
        EXPECT_EQ(j["entries"][5]["attributes"], 0x20);

        r = Qvx({"test", "a.spis"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_NE(r.Out.find("All 6 entries OK"), std::string::npos) << r.Out;

        r = Qvx({"extract", "-C", "out", "a.spis"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        for (const char* f : {"readme.txt", "bin/data.bin", "bin/empty", "z-empty", "a/b/c/deep.txt", "locked.txt"}) {
            EXPECT_EQ(Read(std::string("out/") + f), Read(std::string("src/") + f)) << f;
            struct stat st {};
            EXPECT_EQ(::stat(Path(std::string("out/") + f).c_str(), &st), 0);
            EXPECT_EQ(st.st_mtime, kStamp) << f;
        }
        struct stat st {};
        EXPECT_EQ(::stat(Path("out/locked.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0222, 0u);
        EXPECT_EQ(::stat(Path("out/readme.txt").c_str(), &st), 0);
        EXPECT_NE(st.st_mode & 0200, 0u);
    }
};

TEST_F(ArchiveRoundTrip, Stored) {
    RoundTrip("non");
    const auto j = nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out);
    EXPECT_EQ(j["method"], "NON");
    for (const auto& e : j["entries"]) EXPECT_EQ(e["storedSize"], e["expandedSize"]);
}

TEST_F(ArchiveRoundTrip, Lh5) {
    RoundTrip("lh5");
    const auto j = nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out);
    EXPECT_EQ(j["method"], "LH5");
    EXPECT_EQ(j["entries"][3]["method"], "LH5");  // the compressible 70000 bytes
    EXPECT_LT(j["entries"][3]["storedSize"].get<int>(), 70000);
}

TEST_F(ArchiveRoundTrip, Lzh) {
    RoundTrip("LZH");
    const auto j = nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out);
    EXPECT_EQ(j["method"], "LZH");
    EXPECT_EQ(j["entries"][3]["method"], "LZH");
}

TEST_F(CliTest, CreateDefaultsToLh5) {
    Write("f", PseudoRandomText(3000, 3));
    const auto r = Qvx({"create", "a.spis", "f"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out)["method"], "LH5");
}

TEST_F(CliTest, CreateIsDeterministicAndNamesAreRelativeToTheBase) {
    Write("base/x/1", "one");
    Write("base/x/2", "two");
    Write("base/y", "why");
    ASSERT_EQ(Qvx({"create", "-m", "non", "-C", "base", "a.spis", "y", "x"}).Code, 0);
    ASSERT_EQ(Qvx({"create", "-m", "non", "-C", "base", "b.spis", "./x/", "y", "x/1"}).Code, 0);
    EXPECT_EQ(Read("a.spis"), Read("b.spis"));
    const auto j = nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out);
    ASSERT_EQ(j["entries"].size(), 3u);
    EXPECT_EQ(j["entries"][0]["name"], "x\\1");
    EXPECT_EQ(j["entries"][1]["name"], "x\\2");
    EXPECT_EQ(j["entries"][2]["name"], "y");
}

TEST_F(CliTest, CreateLeavesOutItsOwnArchive) {
    Write("f", "data");
    ASSERT_EQ(Qvx({"create", "-m", "non", "a.spis", "."}).Code, 0);
    ASSERT_EQ(Qvx({"create", "-m", "non", "a.spis", "."}).Code, 0);
    const auto j = nlohmann::json::parse(Qvx({"list", "--json", "a.spis"}).Out);
    ASSERT_EQ(j["entries"].size(), 1u);
    EXPECT_EQ(j["entries"][0]["name"], "f");
}

TEST_F(CliTest, ArchiveOfOnlyEmptyFilesIsRefused) {
    Write("e1", "");
    Write("e2", "");
    const auto r = Qvx({"create", "-m", "non", "a.spis", "e1", "e2"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: a.spis: an archive of only empty files cannot be read back (add a non-empty file)\n");
    EXPECT_FALSE(Exists("a.spis"));
}

TEST_F(CliTest, FailedCreateKeepsTheOldArchive) {
    Write("f", "data");
    ASSERT_EQ(Qvx({"create", "-m", "non", "a.spis", "f"}).Code, 0);
    const std::string before = Read("a.spis");
    const auto r = Qvx({"create", "-m", "non", "a.spis", "f", "missing"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: missing: No such file or directory\n");
    EXPECT_EQ(Read("a.spis"), before);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"a.spis", "f"}));
}

TEST_F(CliTest, ListTableAndTotals) {
    RawEntry e = StoredEntry("dir\\file.txt", "hello");
    e.Attributes = 0x21;
    Write("a.spis", BuildArchive({e}));
    const auto r = Qvx({"list", "a.spis"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "Method     Stored   Expanded   Ratio  Date        Time      Attr   Checksum  Name\n"
              "NON             5          5  100.0%  2024-05-17  12:34:56  R---A  00000214  dir\\file.txt\n"
              "------ ---------- ---------- -------\n"
              "Total           5          5  100.0%  1 entry\n");
}

TEST_F(CliTest, ShortFileListsAsEmptyArchive) {
    Write("short.spis",
          "SPIS\x1A"
          "LH5");
    const auto r = Qvx({"list", "--json", "short.spis"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_EQ(j["entries"].size(), 0u);
    EXPECT_EQ(j["method"], "");
}

TEST_F(CliTest, CatWritesExactlyTheEntriesOfTheName) {
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    RawEntry rle;
    rle.Name = "runs";
    rle.Method = cmRLE;
    rle.Stored = {'A', 0x94, 0x05, 0x94, 0x00};
    rle.ExpandedSize = 6;
    rle.Checksum = 5 * 'A' + 0x94;
    Write("a.spis", BuildArchive({StoredEntry("Bin\\All", binary), rle, StoredEntry("other", "x"),
                                  StoredEntry("bin\\all", "tail")}));
    auto r = Qvx({"cat", "a.spis", "BIN\\ALL"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, binary + "tail");
    EXPECT_EQ(r.Err, "");
    r = Qvx({"cat", "a.spis", "runs"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "AAAAA\x94");
    r = Qvx({"cat", "a.spis", "nothere"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "qvx: a.spis: nothere: no such entry\n");
}

TEST_F(CliTest, TestReportsEveryFailedEntryAndGoesOn) {
    RawEntry good;
    good.Name = "good";
    good.Method = cmRLE;
    good.Stored = {'B', 0x94, 0x04};
    good.ExpandedSize = 4;
    good.Checksum = 4 * 'B';
    RawEntry bad = good;
    bad.Name = "bad";
    bad.Checksum = 1;
    RawEntry last = StoredEntry("last", "end");
    Write("a.spis", BuildArchive({good, bad, last}));
    const auto r = Qvx({"test", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "OK      good\nFAILED  bad\nOK      last\n1 of 3 entries failed\n");
    EXPECT_EQ(r.Err, "qvx: a.spis: bad: Bad checksum during expansion -- data may be invalid\n");
}

// An archive cut between two entries reads as a whole one to the walk; every reading command
// still says it is truncated and exits 1, after doing what it can with the entries that are there.
TEST_F(CliTest, EveryReadingCommandFindsATruncatedArchive) {
    auto bytes = BuildArchive({StoredEntry("one", "1111"), StoredEntry("two", "2222")});
    bytes.resize(bytes.size() - 10);  // the second entry header is cut
    Write("a.spis", bytes);
    const std::vector<std::vector<std::string>> commands = {
        {"test", "a.spis"}, {"-q", "extract", "-C", "out", "a.spis"}, {"list", "a.spis"}, {"cat", "a.spis", "*"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] == "-q" ? command[1] : command[0]);
        const auto r = Qvx(command);
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, "qvx: a.spis: archive is truncated: its entries hold 4 of 8 bytes\n");
    }
    EXPECT_EQ(Read("out/one"), "1111");
    EXPECT_EQ(Qvx({"cat", "a.spis", "one"}).Out, "1111");
}

TEST_F(CliTest, ExtractSelectedNames) {
    Write("a.spis", BuildArchive({StoredEntry("one", "1"), StoredEntry("d\\two", "2"), StoredEntry("three", "3")}));
    const auto r = Qvx({"extract", "-C", "out", "a.spis", "D\\TWO", "three", "four"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: a.spis: four: no such entry\n");
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/d", "out/d/two", "out/three"}));
}

}  // namespace
}  // namespace qvx::cli::test

namespace qvx::cli::test {
namespace {

TEST_F(CliTest, CreateRefusesPathsOutsideTheBase) {
    Write("base/f", "x");
    Write("outside", "y");
    auto r = Qvx({"create", "-m", "non", "-C", "base", "a.spis", "../outside"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: ../outside: lies outside the base directory base\n");
    r = Qvx({"create", "-m", "non", "a.spis", Path("outside").string()});
    EXPECT_EQ(r.Code, 1);
    EXPECT_FALSE(Exists("a.spis"));
}

TEST_F(CliTest, CreateRefusesFileNamesThatAreNotSafeEntryNames) {
    Write("base/back\\slash", "x");
    const auto r = Qvx({"create", "-m", "non", "-C", "base", "a.spis", "."});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: base/back\\slash: cannot be archived as \"back\\slash\" ('\\' in a file name)\n");
    EXPECT_FALSE(Exists("a.spis"));
}

TEST_F(CliTest, QuietMayFollowTheSubcommand) {
    Write("a.spis", BuildArchive({StoredEntry("f", "data")}));
    const auto r = Qvx({"test", "-q", "a.spis"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "OK      f\nAll 1 entry OK\n");
}

TEST_F(CliTest, CreateWritesToAPipeInPlace) {
    Write("tree/a.txt", PseudoRandomText(3000, 9));
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    const std::string command =
        "cd '" + dir_.string() + "' && (cat pipe > drained &) && '" QVX_BINARY "' create pipe tree && sleep 0.2";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
    const RunResult r = Qvx({"cat", "drained", "tree\\a.txt"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, Read("tree/a.txt"));
}

}  // namespace
}  // namespace qvx::cli::test
