// The safety rules of extract: unsafe names refused, nothing written outside the directory, no
// partial file after a failed entry, no overwrite without -f.
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

TEST_F(CliTest, TraversalNamesAreRefusedAndNothingLeavesTheDirectory) {
    const std::vector<std::string> unsafe = {"..\\x", "\\abs", "C:x", "a\\..\\..\\b", "../y", "/z"};
    std::vector<RawEntry> entries;
    for (const auto& name : unsafe) entries.push_back(StoredEntry(name, "evil"));
    entries.push_back(StoredEntry("ok\\fine", "good"));
    Write("work/a.spis", BuildArchive(entries));

    const auto r = Qvx({"extract", "-C", "work/out", "work/a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err,
              "qvx: work/a.spis: ..\\x: refused unsafe entry name ('..' component)\n"
              "qvx: work/a.spis: \\abs: refused unsafe entry name (absolute path)\n"
              "qvx: work/a.spis: C:x: refused unsafe entry name (drive letter or ':' in name)\n"
              "qvx: work/a.spis: a\\..\\..\\b: refused unsafe entry name ('..' component)\n"
              "qvx: work/a.spis: ../y: refused unsafe entry name ('..' component)\n"
              "qvx: work/a.spis: /z: refused unsafe entry name (absolute path)\n");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"work", "work/a.spis", "work/out", "work/out/ok", "work/out/ok/fine"}));
    EXPECT_FALSE(Exists("/abs"));
    EXPECT_FALSE(Exists("/z"));
}

TEST_F(CliTest, SymbolicLinkInTheWayIsNotFollowed) {
    fs::create_directories(Path("out"));
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("out/link"));
    Write("a.spis", BuildArchive({StoredEntry("link\\file", "data")}));
    const auto r = Qvx({"extract", "-f", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: out/link: Refusing to follow a symbolic link\n");
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));
}

TEST_F(CliTest, BadChecksumLeavesNoPartialFile) {
    Write("a.spis", BuildArchive({BadChecksumRleEntry("dir\\runs", 5), StoredEntry("after", "fine")}));
    const auto r = Qvx({"extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: a.spis: dir\\runs: Bad checksum during expansion -- data may be invalid\n");
    // Neither the file, nor a temporary sibling, nor the directory made for it remains; the walk
    // went on to the next entry.
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/after"}));
}

TEST_F(CliTest, BadChecksumKeepsTheExistingFileEvenWithForce) {
    Write("out/runs", "precious");
    Write("a.spis", BuildArchive({BadChecksumRleEntry("runs", 5)}));
    const auto r = Qvx({"extract", "-f", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(Read("out/runs"), "precious");
    EXPECT_EQ(Tree("out"), std::vector<std::string>{"out/runs"});
}

TEST_F(CliTest, NoOverwriteWithoutForce) {
    Write("a.spis", BuildArchive({StoredEntry("f", "archived"), StoredEntry("g", "new")}));
    Write("out/f", "mine");
    auto r = Qvx({"extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: out/f: File exists (use -f to overwrite)\n");
    EXPECT_EQ(Read("out/f"), "mine");
    EXPECT_EQ(Read("out/g"), "new");

    r = Qvx({"extract", "-f", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Read("out/f"), "archived");
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/f", "out/g"}));
}

TEST_F(CliTest, ExistingReadOnlyFileIsReplacedWithForce) {
    RawEntry e = StoredEntry("ro", "second");
    e.Attributes = 0x21;
    Write("a.spis", BuildArchive({e}));
    ASSERT_EQ(Qvx({"extract", "a.spis"}).Code, 0);
    EXPECT_EQ(Qvx({"extract", "a.spis"}).Code, 1);
    EXPECT_EQ(Qvx({"extract", "-f", "a.spis"}).Code, 0);
    EXPECT_EQ(Read("ro"), "second");
}

TEST_F(CliTest, ErrorLinesAndExitCodes) {
    Write("bad.spis", std::string(30, 'x'));
    auto r = Qvx({"list", "bad.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "qvx: bad.spis: not an archive\n");

    auto bytes = BuildArchive({StoredEntry("f", "x")});
    bytes[12] = 2;
    Write("type.spis", bytes);
    r = Qvx({"test", "type.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: type.spis: Archive type must be caMulti\n");

    Write("method.spis", BuildArchive({StoredEntry("f", "x")}, "XYZ"));
    r = Qvx({"extract", "-C", "out", "method.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: method.spis: Unrecognized compression method: \"XYZ\" in header\n");

    r = Qvx({"cat", "missing.spis", "f"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: missing.spis: No such file or directory\n");

    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{},
                                               {"list"},
                                               {"frobnicate"},
                                               {"create", "-m", "rle", "a", "b"},
                                               {"expand", "-m", "lh5", "in", "out"},
                                               {"list", "--bogus", "a"}}) {
        r = Qvx(usage);
        EXPECT_EQ(r.Code, 2) << r.Err;
        EXPECT_EQ(r.Err.rfind("qvx: ", 0), 0u) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    }
}

TEST_F(CliTest, HelpAndVersionSucceed) {
    auto r = Qvx({"--version"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out.rfind("qvx ", 0), 0u);
    r = Qvx({"extract", "--help"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_NE(r.Out.find("--force"), std::string::npos);
}

}  // namespace
}  // namespace qvx::cli::test
