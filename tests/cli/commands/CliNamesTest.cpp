// End-to-end runs about names, links and times: what create refuses and warns about, names that
// round-trip through a code page, what extract refuses, and archives that come out the same in
// every time zone.
#include <fcntl.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

class CliNames : public CliTest {};

// Each tree holds one name create must refuse: exit 1, the file and the reason, no archive.
TEST_F(CliNames, CreateRefusesNamesWindowsOrTheCodePageCannotHold) {
    const struct {
        std::vector<std::string> Files;
        std::vector<std::string> Options;
        std::string Err;
    } cases[] = {
        {{"\xE6\x97\xA5\xE6\x9C\xAC.txt"},
         {},
         "qvx: src/\xE6\x97\xA5\xE6\x9C\xAC.txt: name cannot be stored in code page 1252\n"},
        {{"\xC3\x9C.txt"}, {"--codepage", "1251"}, "qvx: src/\xC3\x9C.txt: name cannot be stored in code page 1251\n"},
        {{"sub/CON.txt"},
         {},
         "qvx: src/sub/CON.txt: cannot be archived as \"sub\\CON.txt\" (reserved device name 'CON')\n"},
        {{"lpt1"}, {}, "qvx: src/lpt1: cannot be archived as \"lpt1\" (reserved device name 'lpt1')\n"},
        {{"name."}, {}, "qvx: src/name.: cannot be archived as \"name.\" (name ends in a dot)\n"},
        {{"dir /a"},
         {},
         "qvx: src/dir : cannot be archived as \"dir \" (name ends in a space)\n"},  // the directory itself
        {{"what?"}, {}, "qvx: src/what?: cannot be archived as \"what?\" (character '?' in name)\n"},
        {{"a\tb"}, {}, "qvx: src/a^Ib: cannot be archived as \"a^Ib\" (control character 0x09 in name)\n"},
        {{"Case.txt", "case.txt"},
         {},
         "qvx: src/case.txt: cannot be archived as \"case.txt\" (same name as \"Case.txt\" ignoring case (Windows "
         "holds only one of them))\n"},
        {{"\xC3\x9C"
          "ber",
          "\xC3\xBC"
          "ber"},
         {},
         "qvx: src/\xC3\xBC"
         "ber: cannot be archived as \"\xC3\xBC"
         "ber\" (same name as \"\xC3\x9C"
         "ber\" ignoring "
         "case (Windows holds only one of them))\n"},
    };
    for (const auto& c : cases) {
        fs::remove_all(Path("src"));
        Write("src/ok.txt", "fine");
        for (const std::string& f : c.Files) Write("src/" + f, "data");
        std::vector<std::string> args = {"-q", "create"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        args.insert(args.end(), {"-C", "src", "a.spis", "."});
        const RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, 1) << c.Err;
        EXPECT_EQ(r.Err, c.Err);
        EXPECT_FALSE(Exists("a.spis")) << c.Err;
        for (const std::string& p : Tree()) EXPECT_EQ(p.rfind("src", 0), 0u) << "left behind: " << p;
    }
}

// Names of each code page are stored as its bytes and come back as they were on disk.
TEST_F(CliNames, NamesRoundTripThroughTheCodePage) {
    const struct {
        const char* CodePage;
        std::string Name;
        std::string Hex;
    } cases[] = {
        {"1252",
         "\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9.txt",
         "dc6eef63f664e92e747874"},
        {"1251", "\xD0\x9C\xD0\xB8\xD1\x80/\xD1\x84.txt", "cce8f05cf42e747874"},
        {"932", "\xE8\xA1\xA8/\xE6\x97\xA5.txt", "955c5c93fa2e747874"},
        {"utf-8", "\xE6\x97\xA5.txt", "e697a52e747874"},
    };
    for (const auto& c : cases) {
        fs::remove_all(Path("src"));
        fs::remove_all(Path("out"));
        fs::remove(Path("a.spis"));
        Write("src/" + c.Name, "named");
        RunResult r = Qvx({"-q", "create", "--codepage", c.CodePage, "-C", "src", "a.spis", "."});
        ASSERT_EQ(r.Code, 0) << c.CodePage << r.Err;
        r = Qvx({"list", "--json", "--codepage", c.CodePage, "a.spis"});
        const auto j = nlohmann::json::parse(r.Out);
        ASSERT_EQ(j["entries"].size(), 1u) << c.CodePage;
        EXPECT_EQ(j["entries"][0]["nameBytes"], c.Hex) << c.CodePage;
        std::string windowsName = c.Name;
        std::replace(windowsName.begin(), windowsName.end(), '/', '\\');
        EXPECT_EQ(j["entries"][0]["name"], windowsName) << c.CodePage;
        // Patterns are UTF-8, matched against the decoded names.
        r = Qvx({"-q", "extract", "--codepage", c.CodePage, "-C", "out", "a.spis", c.Name});
        EXPECT_EQ(r.Code, 0) << c.CodePage << r.Err;
        EXPECT_EQ(Read("out/" + c.Name), "named") << c.CodePage;
        r = Qvx({"cat", "--codepage", c.CodePage, "a.spis", c.Name});
        EXPECT_EQ(r.Out, "named") << c.CodePage;
    }
    // Read with another code page, the same bytes show as other letters.
    const RunResult r = Qvx({"test", "--codepage", "1252", "a.spis"});
    EXPECT_EQ(r.Out, "OK      \xC3\xA6\xE2\x80\x94\xC2\xA5.txt\nAll 1 entry OK\n");
}

// Names Windows cannot hold are refused one by one; the others are extracted.
TEST_F(CliNames, ExtractRefusesEachUnholdableNameAndGoesOn) {
    Write("a.spis", BuildArchive({StoredEntry("Case.txt", "1"), StoredEntry("CON", "2"), StoredEntry("dir\\aux.c", "3"),
                                  StoredEntry("dot.", "4"), StoredEntry("pipe|x", "5"), StoredEntry("case.TXT", "6"),
                                  StoredEntry("bad\x81", "7"), StoredEntry("ok.txt", "8")}));
    const RunResult r = Qvx({"-q", "extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err,
              "qvx: a.spis: CON: refused unsafe entry name (reserved device name 'CON')\n"
              "qvx: a.spis: dir\\aux.c: refused unsafe entry name (reserved device name 'aux')\n"
              "qvx: a.spis: dot.: refused unsafe entry name (name ends in a dot)\n"
              "qvx: a.spis: pipe|x: refused unsafe entry name (character '|' in name)\n"
              "qvx: a.spis: case.TXT: refused unsafe entry name (same name as \"Case.txt\" ignoring case (Windows "
              "holds only one of them))\n"
              "qvx: a.spis: bad?: refused unsafe entry name (bytes that code page 1252 does not define)\n");
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/Case.txt", "out/ok.txt"}));
    EXPECT_EQ(Read("out/Case.txt"), "1");
}

// What the archive does not keep is said once per kind, with a count; the archive is written.
TEST_F(CliNames, CreateWarnsOncePerKindAboutWhatItDoesNotStore) {
    Write("src/a.sh", "#!/bin/sh\n");
    Write("src/b.sh", "#!/bin/sh\n");
    Write("src/data.txt", "data");
    Write("outside.txt", "outside");
    fs::permissions(Path("src/a.sh"), fs::perms::owner_exec, fs::perm_options::add);
    fs::permissions(Path("src/b.sh"), fs::perms::owner_exec, fs::perm_options::add);
    fs::create_directories(Path("src/empty/deeper"));
    fs::create_symlink("data.txt", Path("src/inside"));
    fs::create_symlink(Path("outside.txt"), Path("src/outside"));
    fs::create_symlink("nowhere", Path("src/broken"));
    fs::create_directory_symlink("..", Path("src/empty/up"));  // a loop, never followed
    const struct {
        std::string Option;
        std::string Err;
        std::vector<std::string> Names;
    } cases[] = {
        {"",
         "qvx: warning: 2 files have execute permission, which the archive does not keep\n"
         "qvx: warning: 2 empty directories are not stored\n"
         "qvx: warning: 1 symbolic link leads out of the tree and is not stored (--follow stores what it points to)\n"
         "qvx: warning: 2 symbolic links lead nowhere or round in a loop and are not stored\n",
         {"a.sh", "b.sh", "data.txt", "inside"}},
        {"--follow",
         "qvx: warning: 2 files have execute permission, which the archive does not keep\n"
         "qvx: warning: 2 empty directories are not stored\n"
         "qvx: warning: 2 symbolic links lead nowhere or round in a loop and are not stored\n",
         {"a.sh", "b.sh", "data.txt", "inside", "outside"}},
        {"--no-follow",
         "qvx: warning: 2 files have execute permission, which the archive does not keep\n"
         "qvx: warning: 2 empty directories are not stored\n"
         "qvx: warning: 4 symbolic links are not stored (--no-follow)\n",
         {"a.sh", "b.sh", "data.txt"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-q", "create", "-C", "src", "a.spis", "."};
        if (!c.Option.empty()) args.insert(args.begin() + 2, c.Option);
        RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, 0) << c.Option;
        EXPECT_EQ(r.Err, c.Err) << c.Option;
        r = Qvx({"list", "--json", "a.spis"});
        std::vector<std::string> names;
        const auto listing = nlohmann::json::parse(r.Out);
        for (const auto& e : listing["entries"]) names.push_back(e["name"]);
        EXPECT_EQ(names, c.Names) << c.Option;
    }
}

// With SOURCE_DATE_EPOCH or --mtime the bytes do not depend on the time zone; by default the
// stamps hold local time, with --utc UTC.
TEST_F(CliNames, ClampedTimesGiveTheSameBytesInEveryTimeZone) {
    Write("src/new.txt", "new");
    Write("src/old.txt", "old");
    const struct timespec newer[2] = {{1800000000, 0}, {1800000000, 0}};
    const struct timespec older[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("src/new.txt").c_str(), newer, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("src/old.txt").c_str(), older, 0), 0);
    const auto build = [&](const std::string& tz, const std::vector<std::string>& env,
                           const std::vector<std::string>& options) {
        std::vector<std::string> environment = {"TZ=" + tz};
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<std::string> args = {"-q", "create"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"-C", "src", "a.spis", "."});
        const RunResult r = QvxWithEnvironment(environment, args);
        EXPECT_EQ(r.Code, 0) << r.Err;
        return Read("a.spis");
    };
    const auto times = [&](const std::string& tz, const std::vector<std::string>& options) {
        std::vector<std::string> args = {"list", "--json", "a.spis"};
        args.insert(args.end(), options.begin(), options.end());
        const auto j = nlohmann::json::parse(QvxWithEnvironment({"TZ=" + tz}, args).Out);
        std::vector<std::string> t;
        for (const auto& e : j["entries"])
            t.push_back(e["date"].get<std::string>() + " " + e["time"].get<std::string>());
        return t;
    };
    const std::vector<std::string> epoch = {"SOURCE_DATE_EPOCH=1700000000"};
    const std::string utc = build("UTC", epoch, {});
    EXPECT_EQ(build("Asia/Tokyo", epoch, {}), utc);
    EXPECT_EQ(build("Asia/Tokyo", {}, {"--mtime", "2023-11-14T22:13:20"}), utc);
    EXPECT_EQ(build("America/New_York", {}, {"--mtime", "@1700000000"}), utc);
    EXPECT_EQ(times("UTC", {}), (std::vector<std::string>{"2023-11-14 22:13:20", "2020-09-13 12:26:40"}));
    // Shown in local time when read as UTC.
    EXPECT_EQ(times("Asia/Tokyo", {"--utc"}), (std::vector<std::string>{"2023-11-15 07:13:20", "2020-09-13 21:26:40"}));

    build("Asia/Tokyo", {}, {});
    EXPECT_EQ(times("UTC", {}), (std::vector<std::string>{"2027-01-15 17:00:00", "2020-09-13 21:26:40"}));
    build("Asia/Tokyo", {}, {"--utc"});
    EXPECT_EQ(times("UTC", {}), (std::vector<std::string>{"2027-01-15 08:00:00", "2020-09-13 12:26:40"}));
    // extract --utc gives the file its instant back.
    ASSERT_EQ(QvxWithEnvironment({"TZ=Asia/Tokyo"}, {"-q", "extract", "--utc", "-C", "out", "a.spis"}).Code, 0);
    struct stat st {};
    ASSERT_EQ(::stat(Path("out/old.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);

    const RunResult bad = QvxWithEnvironment({"SOURCE_DATE_EPOCH=soon"}, {"-q", "create", "-C", "src", "b.spis", "."});
    EXPECT_EQ(bad.Code, 1);
    EXPECT_EQ(bad.Err, "qvx: SOURCE_DATE_EPOCH: 'soon' is not a number of seconds\n");
    EXPECT_FALSE(Exists("b.spis"));
}

// "create -" writes the same archive to standard output.
TEST_F(CliNames, CreateToStandardOutput) {
    Write("src/a.txt", PseudoRandomText(3000, 4));
    ASSERT_EQ(Qvx({"-q", "create", "-C", "src", "a.spis", "."}).Code, 0);
    const RunResult r = Qvx({"-q", "create", "-C", "src", "-", "."});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, Read("a.spis"));
    EXPECT_FALSE(Exists("-"));
}

}  // namespace
}  // namespace qvx::cli::test
