// Where extract writes: never through a link planted before or swapped in during the extraction,
// never into what stands under a file's name, and nothing left of an entry that failed.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "CliTestSupport.h"
#include "commands/Extract.h"

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

bool AnyTemporary(const std::vector<std::string>& tree) {
    for (const std::string& path : tree)
        if (path.find(".qvx-") != std::string::npos) return true;
    return false;
}

// A link at the file's own place, to something outside DIR: without -f "File exists" and the link
// stays; with -f the link itself is replaced by the file. What it points to is never opened: a
// FIFO gets no data (its reader is open, so a write would not block), /dev/full would refuse it.
TEST_F(CliTest, ALinkAtTheFilesPlaceIsReplacedNeverWrittenThrough) {
    Write("a.spis", BuildArchive({StoredEntry("f1.txt", "archived")}));
    Write("outside/file.txt", "precious");
    ASSERT_EQ(::mkfifo(Path("outside/fifo").c_str(), 0600), 0);
    const int reader = ::open(Path("outside/fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const struct {
        const char* Target;
        bool Force;
    } cases[] = {{"outside/file.txt", false}, {"outside/file.txt", true}, {"outside/fifo", false},
                 {"outside/fifo", true},      {"/dev/full", false},       {"/dev/full", true}};
    for (const auto& c : cases) {
        const std::string label = std::string(c.Target) + (c.Force ? " -f" : "");
        fs::remove_all(Path("out"));
        fs::create_directories(Path("out"));
        const fs::path target = c.Target[0] == '/' ? fs::path(c.Target) : Path(c.Target);
        fs::create_symlink(target, Path("out/f1.txt"));
        std::vector<std::string> args = {"extract", "-C", "out", "a.spis"};
        if (c.Force) args.insert(args.begin() + 1, "-f");
        const auto r = Qvx(args);
        if (c.Force) {
            EXPECT_EQ(r.Code, 0) << label << ": " << r.Err;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Path("out/f1.txt")))) << label;
            EXPECT_EQ(Read("out/f1.txt"), "archived") << label;
        } else {
            EXPECT_EQ(r.Code, 1) << label;
            EXPECT_EQ(r.Err, "qvx: out/f1.txt: File exists (use -f to overwrite)\n") << label;
            EXPECT_TRUE(fs::is_symlink(Path("out/f1.txt"))) << label;
        }
        EXPECT_EQ(Read("outside/file.txt"), "precious") << label;
        char byte = 0;
        EXPECT_LE(::read(reader, &byte, 1), 0) << label << ": data went into the FIFO";
        EXPECT_FALSE(AnyTemporary(Tree())) << label;
    }
    ::close(reader);
}

// A FIFO or a directory inside DIR under the file's name: the FIFO is replaced with -f (never
// opened, which would wait for a reader), a directory stays an error either way.
TEST_F(CliTest, SpecialFilesAndDirectoriesInTheWay) {
    Write("a.spis", BuildArchive({StoredEntry("p", "pipe data"), StoredEntry("d", "dir data")}));
    for (bool force : {false, true}) {
        fs::remove_all(Path("out"));
        fs::create_directories(Path("out/d"));
        ASSERT_EQ(::mkfifo(Path("out/p").c_str(), 0600), 0);
        std::vector<std::string> args = {"extract", "-C", "out", "a.spis"};
        if (force) args.insert(args.begin() + 1, "-f");
        const auto r = Qvx(args);
        EXPECT_EQ(r.Code, 1);
        if (force) {
            EXPECT_EQ(r.Err, "qvx: out/d: Is a directory\n");
            EXPECT_EQ(Read("out/p"), "pipe data");
        } else {
            EXPECT_EQ(r.Err, "qvx: out/p: File exists (use -f to overwrite)\nqvx: out/d: Is a directory\n");
            EXPECT_TRUE(fs::is_fifo(Path("out/p")));
        }
        EXPECT_TRUE(fs::is_directory(Path("out/d")));
    }
}

// A link where a folder below DIR should be, at any depth: refused, and no folder made through it.
// DIR itself may be a link: the user named it.
TEST_F(CliTest, LinksBelowTheDirectoryAreRefusedAtEveryDepth) {
    fs::create_directories(Path("real/deep"));
    fs::create_directories(Path("outside"));
    fs::create_directory_symlink(Path("outside"), Path("real/link"));
    fs::create_directory_symlink(Path("outside"), Path("real/deep/link"));
    fs::create_directory_symlink(Path("real"), Path("out"));
    Write("a.spis", BuildArchive({StoredEntry("link\\new.txt", "1"), StoredEntry("link\\b\\c.txt", "2"),
                                  StoredEntry("deep\\link\\d.txt", "3"), StoredEntry("ok.txt", "4")}));
    const auto r = Qvx({"extract", "-f", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err,
              "qvx: out/link: Refusing to follow a symbolic link\n"
              "qvx: out/link: Refusing to follow a symbolic link\n"
              "qvx: out/deep/link: Refusing to follow a symbolic link\n");
    EXPECT_TRUE(fs::is_empty(Path("outside")));
    EXPECT_EQ(Read("real/ok.txt"), "4");
}

// The folder of later entries is swapped for a link to outside DIR while an earlier entry of it is
// being expanded (from the progress callback, which the library calls once per input block of a
// compressed entry): that entry and the later ones go on into the folder that was opened (now
// under the other name), nothing lands outside and no temporary file is left.
TEST_F(CliTest, AFolderSwappedForALinkDuringExtractionSendsNothingOutside) {
    Write("src/d/big.txt", PseudoRandomText(200000, 7));
    for (int i = 0; i < 5; ++i) Write("src/d/f" + std::to_string(i) + ".txt", PseudoRandomText(3000, 10 + i));
    const auto created = Qvx({"create", "-C", "src", "a.spis", "."});
    ASSERT_EQ(created.Code, 0) << created.Err;
    fs::create_directories(Path("out"));
    fs::create_directories(Path("outside"));
    fs::create_directory_symlink(Path("outside"), Path("out/s"));

    ExtractOptions options;
    options.Input.Path = Path("a.spis").string();
    options.Directory = Path("out").string();
    options.Quiet = true;
    int calls = 0;
    const int code = RunExtract(options, [&](std::int32_t&) {
        if (calls++ == 0) {
            ASSERT_EQ(::renameat2(AT_FDCWD, Path("out/d").c_str(), AT_FDCWD, Path("out/s").c_str(), RENAME_EXCHANGE), 0)
                << std::strerror(errno);
        }
    });
    EXPECT_GT(calls, 1);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(fs::is_empty(Path("outside")));
    EXPECT_TRUE(fs::is_symlink(Path("out/d")));
    EXPECT_EQ(Read("out/s/big.txt"), Read("src/d/big.txt"));
    EXPECT_EQ(Read("out/s/f4.txt"), Read("src/d/f4.txt"));
    EXPECT_EQ(Tree("out/s").size(), 6u);  // no temporary file either

    // A later extraction opens the folders anew: the link is refused.
    options.Force = true;
    EXPECT_EQ(RunExtract(options), 1);
    EXPECT_TRUE(fs::is_empty(Path("outside")));
}

// An entry that fails takes the folders made for it along, as far as they are empty; folders that
// were there before, or that hold an earlier entry's file, stay.
TEST_F(CliTest, AFailedEntryRemovesTheFoldersMadeForIt) {
    const std::string tooLong(300, 'n');  // longer than a file name may be
    fs::create_directories(Path("out/old"));
    Write("a.spis", BuildArchive({StoredEntry("old\\x\\y\\" + tooLong, "1"), StoredEntry("kept\\f", "2"),
                                  StoredEntry("kept\\z\\" + tooLong, "3")}));
    const auto r = Qvx({"extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 2) << r.Err;
    EXPECT_NE(r.Err.find("File name too long"), std::string::npos) << r.Err;
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/kept", "out/kept/f", "out/old"}));
}

// A name that would make a path longer than Windows opens is refused before any folder is made.
TEST_F(CliTest, APathLongerThanWindowsOpensIsRefusedBeforeAnyFolder) {
    // The longest name an archive holds (32,767 bytes less a little), below a directory whose
    // absolute path is longer than that little.
    std::string name;
    while (name.size() < 32740) name += "abcdefghij\\";
    name += "f.txt";
    Write("a.spis", BuildArchive({StoredEntry(name, "x"), StoredEntry("ok.txt", "y")}));
    const auto r = Qvx({"extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("longer than Windows can open (32767)"), std::string::npos) << r.Err.substr(0, 200);
    EXPECT_EQ(Tree("out"), std::vector<std::string>{"out/ok.txt"});
}

// Entries equal ignoring case in scripts beyond Latin, Greek and Cyrillic are one file on Windows:
// the second is refused even with -f.
TEST_F(CliTest, CaseCollisionsInEveryScriptAreRefused) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"\xC7\x86.txt", "\xC7\x84.txt"},          // ǆ, Ǆ
        {"\xD5\xA1.txt", "\xD4\xB1.txt"},          // Armenian
        {"\xEF\xBD\x81.txt", "\xEF\xBC\xA1.txt"},  // fullwidth
        {"\xE2\x85\xB0.txt", "\xE2\x85\xA0.txt"},  // Roman numerals
        {"\xE2\x93\x90.txt", "\xE2\x92\xB6.txt"},  // circled letters
    };
    std::vector<RawEntry> entries;
    for (const auto& [first, second] : pairs) {
        entries.push_back(StoredEntry(first, "first"));
        entries.push_back(StoredEntry(second, "second"));
    }
    Write("a.spis", BuildArchive(entries));
    const auto r = Qvx({"extract", "-f", "--codepage", "utf-8", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 5) << r.Err;
    for (const auto& [first, second] : pairs) {
        EXPECT_NE(r.Err.find(second + ": refused unsafe entry name (same name as \"" + first), std::string::npos)
            << r.Err;
        EXPECT_EQ(Read("out/" + first), "first");
        EXPECT_FALSE(Exists("out/" + second));
    }
}

}  // namespace
}  // namespace qvx::cli::test
