// End to end on this system: qvx setup build, then the built setup file run as a program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "SizeMarker.h"
#include "TestFiles.h"

namespace qvx::launcher::test {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Where setup build puts the payload behind a launcher of the given size: the image padded to 16.
std::size_t PayloadOffsetFor(std::size_t launcherSize) { return (launcherSize + 15) / 16 * 16; }
std::size_t PayloadOffset() { return PayloadOffsetFor(ReadFile(QVX_SETUP_PATH).size()); }

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

class SetupEndToEnd : public ::testing::Test {
protected:
    SetupEndToEnd() {
        for (const char* d : {"data", "data/sub dir", "tmp", "win", "out dir"}) fs::create_directories(dir_.Path() / d);
        WriteFile(dir_ / "data/readme.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
        Bytes big(70000);
        for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 300);
        WriteFile(dir_ / "data/sub dir/big.bin", big);
        setup_ = dir_ / "out dir/My Setup";
    }

    // Runs a shell command line with the given environment settings; stdout and stderr go to files.
    int Run(const std::string& env, const std::string& command) {
        const std::string line = "cd " + Quote(dir_.Path().string()) +
                                 " && env -u WINDIR TMPDIR=" + Quote(dir_ / "tmp") + " " + env + " " + command + " >" +
                                 Quote(dir_ / "stdout") + " 2>" + Quote(dir_ / "stderr");
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Qvx(const std::string& args) { return Run("", Quote(QVX_TOOL_PATH) + " " + args); }
    int BuildSetup(const std::string& engine, const std::string& extra = "-d data") {
        return Qvx("setup build -l " + Quote(QVX_SETUP_PATH) + " -e " + Quote(engine) + " " + extra + " -o " +
                   Quote(setup_));
    }
    std::string Stdout() { return ReadText(dir_ / "stdout"); }
    std::string Stderr() { return ReadText(dir_ / "stderr"); }
    // The private run directory the launcher made under tmp/ (empty when none).
    fs::path RunDirectory() {
        for (const auto& e : fs::directory_iterator(dir_.Path() / "tmp")) return e.path();
        return {};
    }

    TempDir dir_;
    std::string setup_;
};

TEST_F(SetupEndToEnd, BuiltLauncherHoldsTheMarkerExactlyOnceUnpatched) {
    const Bytes launcher = ReadFile(QVX_SETUP_PATH);
    EXPECT_EQ(CountMarkers(launcher), 1u);
    const auto pattern = MarkerPattern();
    const auto at = std::search(launcher.begin(), launcher.end(), pattern.begin(), pattern.end());
    ASSERT_NE(at, launcher.end());
    EXPECT_EQ(std::string(at + 8, at + 12), "XXXX");
}

TEST_F(SetupEndToEnd, WindowsLauncherHoldsTheMarkerExactlyOnce) {
    if (!fs::exists(QVX_MINGW_SETUP_PATH)) GTEST_SKIP() << "no Windows build at " << QVX_MINGW_SETUP_PATH;
    EXPECT_EQ(CountMarkers(ReadFile(QVX_MINGW_SETUP_PATH)), 1u);
}

TEST_F(SetupEndToEnd, SetupStagesTheArchiveAndStartsTheEngineWithBothPaths) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    struct stat st {};
    ASSERT_EQ(::stat(setup_.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    const Bytes setupBytes = ReadFile(setup_);
    EXPECT_EQ(CountMarkers(setupBytes), 1u);

    const std::string argvFile = dir_ / "argv.txt";
    ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_RECORD_FILE=" + Quote(argvFile) + " QVX_RECORD_EXIT=3",
                  Quote(setup_)),
              0)
        << Stderr();

    const auto args = Lines(ReadText(argvFile));
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "/SOURCE=" + setup_);
    ASSERT_TRUE(args[1].starts_with("/DATA="));
    const fs::path staged = args[1].substr(6);
    const fs::path runDir = RunDirectory();
    EXPECT_EQ(staged.parent_path(), runDir);
    EXPECT_TRUE(staged.filename().string().starts_with("QVX"));
    ASSERT_EQ(::stat(staged.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(runDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The staged archive is exactly the first payload archive.
    const std::size_t offset = PayloadOffset();
    const std::uint32_t length = U32At(setupBytes, offset);
    EXPECT_EQ(ReadFile(staged.string()), Bytes(setupBytes.begin() + static_cast<std::ptrdiff_t>(offset + 4),
                                               setupBytes.begin() + static_cast<std::ptrdiff_t>(offset + 4 + length)));
    EXPECT_EQ(ReadFile(dir_ / "win/Quorvex.exe"), ReadFile(QVX_RECORD_ENGINE_PATH));
}

TEST_F(SetupEndToEnd, EngineGoesToThePrivateRunDirectoryWhenTheWindowsDirectoryIsNotWritable) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    const std::string argvFile = dir_ / "argv.txt";
    ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "no such dir") + " QVX_RECORD_FILE=" + Quote(argvFile), Quote(setup_)), 0)
        << Stderr();
    EXPECT_EQ(Lines(ReadText(argvFile)).size(), 2u);
    EXPECT_EQ(ReadFile((RunDirectory() / "Quorvex.exe").string()), ReadFile(QVX_RECORD_ENGINE_PATH));
}

TEST_F(SetupEndToEnd, UnpatchedLauncherBeepsExitsZeroAndCreatesNothing) {
    fs::copy_file(QVX_SETUP_PATH, dir_ / "Setup");
    EXPECT_EQ(Run("WINDIR=" + Quote(dir_ / "win"), Quote(dir_ / "Setup")), 0);
    EXPECT_EQ(Stderr(), "\a");
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
    EXPECT_TRUE(fs::is_empty(dir_ / "win"));
}

// Damage to the engine entry: the launcher reports it, starts nothing, keeps an earlier engine at
// the engine's path and leaves no file of its own (the run directory is gone too).
TEST_F(SetupEndToEnd, DamagedEngineEntriesStartNothingAndLeaveNothing) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    const Bytes good = ReadFile(setup_);
    const std::size_t archive = PayloadOffset() + 4;
    const std::size_t entry = archive + 21;  // the engine's entry header
    const std::size_t length = U32At(good, PayloadOffset());
    struct Case {
        std::string What;
        std::function<void(Bytes&)> Damage;
        std::string Report;  // the beginning of the report's second line
    };
    const std::vector<Case> cases = {
        {"archive magic", [&](Bytes& b) { b[archive] ^= 0xFF; }, "Exception EInvalidHeader in module My Setup at "},
        {"compressed data",
         [&](Bytes& b) {
             for (std::size_t i = 0; i < 16; ++i) b[archive + length / 2 + i] ^= 0x5A;
         },
         "Exception E"},
        {"method LH5 made NON", [&](Bytes& b) { b[entry + 16] = 0; }, "Exception E"},
        {"method LH5 made undefined", [&](Bytes& b) { b[entry + 16] = 9; }, "Exception E"},
        {"checksum", [&](Bytes& b) { b[entry + 17] ^= 0x01; }, "Exception EBadChecksum in module My Setup at "},
    };
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    WriteFile(dir_ / "win/Quorvex.exe", earlier);
    const std::string argvFile = dir_ / "argv.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Bytes bytes = good;
        c.Damage(bytes);
        WriteFile(setup_, bytes);
        EXPECT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_RECORD_FILE=" + Quote(argvFile), Quote(setup_)), 1);
        EXPECT_FALSE(fs::exists(argvFile));
        EXPECT_EQ(ReadFile(dir_ / "win/Quorvex.exe"), earlier);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "win"), fs::directory_iterator()), 1);
        EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
        EXPECT_TRUE(Stderr().starts_with("Application Error\n" + c.Report)) << Stderr();
    }
}

// A setup file laid out by hand behind the real launcher: the image padded and patched, the given
// first archive, an empty second archive.
Bytes HandMadeSetup(const Bytes& firstArchive) {
    Bytes file = ReadFile(QVX_SETUP_PATH);
    const auto pattern = MarkerPattern();
    const auto marker = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
    const auto field = static_cast<std::size_t>(marker - file.begin()) + 8;
    file.resize(PayloadOffsetFor(file.size()), 0);
    PutU32(file, field, static_cast<std::uint32_t>(file.size()));
    AppendU32(file, static_cast<std::uint32_t>(firstArchive.size()));
    file.insert(file.end(), firstArchive.begin(), firstArchive.end());
    const Bytes empty = MakeArchive({});
    AppendU32(file, static_cast<std::uint32_t>(empty.size()));
    file.insert(file.end(), empty.begin(), empty.end());
    return file;
}

// Damage in a stored engine entry, and in the size fields of a compressed one: the launcher starts
// nothing and leaves nothing; the sound files run. The engine ends in zero bytes, which add nothing
// to the checksum: one byte less is caught because the last match then runs past the entry's end.
TEST_F(SetupEndToEnd, DamagedStoredEnginesAndSizeFieldsStartNothing) {
    const Bytes engine = ReadFile(QVX_RECORD_ENGINE_PATH);
    const Bytes stored = HandMadeSetup(MakeArchive({{"Installer\\Quorvex.exe", engine}}));
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH, ""), 0) << Stderr();
    const Bytes compressed = ReadFile(setup_);
    const std::size_t archive = PayloadOffset() + 4;
    const std::size_t entry = archive + 21;
    const std::size_t data = entry + 25 + 21;  // behind the name "Installer\Quorvex.exe"
    const auto grow = [&](std::int32_t by) {
        return [=](Bytes& b) { PutU32(b, entry + 8, U32At(b, entry + 8) + static_cast<std::uint32_t>(by)); };
    };
    struct Case {
        std::string What;
        const Bytes* Good;
        std::function<void(Bytes&)> Damage;  // none: the sound file, which runs
    };
    const std::vector<Case> cases = {
        {"stored engine", &stored, nullptr},
        {"stored engine, a bit flipped early", &stored, [&](Bytes& b) { b[data + 3] ^= 0x01; }},
        {"stored engine, a bit flipped late", &stored, [&](Bytes& b) { b[data + engine.size() - 7] ^= 0x80; }},
        {"stored engine, expanded size one more", &stored, grow(1)},
        {"compressed engine, expanded size one more", &compressed, grow(1)},
        {"compressed engine, expanded size 4096 more", &compressed, grow(4096)},
        {"compressed engine, expanded size 1 GiB more", &compressed, grow(0x40000000)},
        {"compressed engine, expanded size one less", &compressed, grow(-1)},
    };
    const std::string argvFile = dir_ / "argv.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Bytes bytes = *c.Good;
        if (c.Damage) c.Damage(bytes);
        WriteFile(setup_, bytes);
        fs::remove(argvFile);
        for (const char* d : {"win", "tmp"}) {
            fs::remove_all(dir_ / d);
            fs::create_directory(dir_ / d);
        }
        const int code = Run("WINDIR=" + Quote(dir_ / "win") + " QVX_RECORD_FILE=" + Quote(argvFile), Quote(setup_));
        if (!c.Damage) {
            EXPECT_EQ(code, 0) << Stderr();
            EXPECT_EQ(ReadFile(dir_ / "win/Quorvex.exe"), engine);
            continue;
        }
        EXPECT_EQ(code, 1);
        EXPECT_FALSE(fs::exists(argvFile));
        EXPECT_TRUE(fs::is_empty(dir_ / "win"));
        EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
        EXPECT_TRUE(Stderr().starts_with("Application Error\nException E")) << Stderr();
        EXPECT_EQ(Stderr().find("EEngineStartError"), std::string::npos) << Stderr();  // refused before the start
    }
}

// A link or FIFO at the engine's path in the Windows directory is never written through: the
// engine goes to the private run directory, and the link's target stays as it was.
TEST_F(SetupEndToEnd, ALinkAtTheEnginePathIsNeverWrittenThrough) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    const Bytes victim = {'v', 'i', 'c', 't', 'i', 'm'};
    WriteFile(dir_ / "victim", victim);
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    const std::vector<std::pair<std::string, fs::path>> links = {
        {"link to a file", dir_ / "victim"}, {"dangling link", dir_ / "nothing"}, {"link to a FIFO", dir_ / "fifo"}};
    const std::string argvFile = dir_ / "argv.txt";
    for (const auto& [what, target] : links) {
        SCOPED_TRACE(what);
        fs::remove(dir_ / "win/Quorvex.exe");
        fs::create_symlink(target, dir_ / "win/Quorvex.exe");
        ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_RECORD_FILE=" + Quote(argvFile), Quote(setup_)), 0)
            << Stderr();
        EXPECT_EQ(Lines(ReadText(argvFile)).size(), 2u);
        EXPECT_EQ(ReadFile((RunDirectory() / "Quorvex.exe").string()), ReadFile(QVX_RECORD_ENGINE_PATH));
        EXPECT_TRUE(fs::is_symlink(dir_ / "win/Quorvex.exe"));
        EXPECT_EQ(ReadFile(dir_ / "victim"), victim);
        EXPECT_FALSE(fs::exists(dir_ / "nothing"));
        EXPECT_EQ(fs::status(dir_ / "fifo").type(), fs::file_type::fifo);
        fs::remove_all(RunDirectory());
        fs::remove(argvFile);
    }
}

// Launchers whose size ends in any byte build setup files that run; 0x58 ("X") made the patched
// offset look like the unpatched placeholder before the image was padded.
TEST_F(SetupEndToEnd, LaunchersOfAnySizeBuildSetupFilesThatRun) {
    const Bytes launcher = ReadFile(QVX_SETUP_PATH);
    for (const std::size_t low : {0x58, 0x00, 0x0F, 0xFF}) {
        SCOPED_TRACE(low);
        Bytes grown = launcher;
        grown.resize(launcher.size() + (low + 256 - launcher.size() % 256) % 256, 0xEE);
        ASSERT_EQ(grown.size() % 256, low);
        WriteFile(dir_ / "grown", grown);
        ::chmod((dir_ / "grown").c_str(), 0755);
        ASSERT_EQ(Qvx("setup build -l grown -e " + Quote(QVX_RECORD_ENGINE_PATH) + " -o " + Quote(setup_)), 0)
            << Stderr();
        const Bytes built = ReadFile(setup_);
        const std::size_t offset = PayloadOffsetFor(grown.size());
        EXPECT_TRUE(std::all_of(built.begin() + static_cast<std::ptrdiff_t>(grown.size()),
                                built.begin() + static_cast<std::ptrdiff_t>(offset),
                                [](std::uint8_t b) { return b == 0; }));
        const std::string argvFile = dir_ / "argv.txt";
        ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_RECORD_FILE=" + Quote(argvFile), Quote(setup_)), 0)
            << Stderr();
        EXPECT_EQ(Lines(ReadText(argvFile)),
                  (std::vector<std::string>{"/SOURCE=" + setup_, Lines(ReadText(argvFile)).back()}));
        EXPECT_EQ(ReadFile(dir_ / "win/Quorvex.exe"), ReadFile(QVX_RECORD_ENGINE_PATH));
        ASSERT_EQ(Qvx("setup info " + Quote(setup_)), 0);
        EXPECT_NE(Stdout().find("payload offset: " + std::to_string(offset) + "\n"), std::string::npos) << Stdout();
        fs::remove(argvFile);
    }
}

TEST_F(SetupEndToEnd, OversizedArchiveLengthIsRejectedBeforeAnythingIsWritten) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    Bytes bytes = ReadFile(setup_);
    PutU32(bytes, PayloadOffset(), 0x7FFFFFF0u);
    WriteFile(setup_, bytes);
    EXPECT_EQ(Run("WINDIR=" + Quote(dir_ / "win"), Quote(setup_)), 1);
    EXPECT_NE(Stderr().find("EInvalidSize"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
    EXPECT_TRUE(fs::is_empty(dir_ / "win"));
}

TEST_F(SetupEndToEnd, ExampleEngineInstallsTheDataBlock) {
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH), 0) << Stderr();
    ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_INSTALL_DIR=" + Quote(dir_ / "installed"), Quote(setup_)), 0)
        << Stderr();
    EXPECT_EQ(ReadFile(dir_ / "installed/readme.txt"), ReadFile(dir_ / "data/readme.txt"));
    EXPECT_EQ(ReadFile(dir_ / "installed/sub dir/big.bin"), ReadFile(dir_ / "data/sub dir/big.bin"));
    EXPECT_NE(Stdout().find("Installer\\Quorvex.exe"), std::string::npos);
    EXPECT_NE(Stdout().find("installed 2 files"), std::string::npos);
}

TEST_F(SetupEndToEnd, ExampleEngineListsTheFilesItInstalled) {
    WriteFile(dir_ / "data/sub dir/A.txt", Bytes{'a'});
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH), 0) << Stderr();
    const std::string env = "WINDIR=" + Quote(dir_ / "win") + " QVX_INSTALL_DIR=" + Quote(dir_ / "installed");
    ASSERT_EQ(Run(env + " QVX_INSTALL_LIST=" + Quote(dir_ / "installed.lst"), Quote(setup_)), 0) << Stderr();
    // Read back from the install directory: relative, "\" separators, byte order.
    EXPECT_EQ(ReadText(dir_ / "installed.lst"), "readme.txt\nsub dir\\A.txt\nsub dir\\big.bin\n");
    fs::remove(dir_ / "installed.lst");
    ASSERT_EQ(Run(env, Quote(setup_)), 0) << Stderr();
    EXPECT_FALSE(fs::exists(dir_ / "installed.lst"));
}

TEST_F(SetupEndToEnd, SetupFileIsTheSameWhateverTheNumberOfJobs) {
    for (int i = 0; i < 5; ++i) {
        Bytes text;
        for (int k = 0; k < 20000 * (i + 1); ++k)
            text.push_back(static_cast<std::uint8_t>("setup data "[(k + i) % 11]));
        WriteFile(dir_ / ("data/file" + std::to_string(i)), text);
    }
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH, "-d data -j 1"), 0) << Stderr();
    const Bytes one = ReadFile(setup_);
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH, "-d data -j 3"), 0) << Stderr();
    EXPECT_EQ(ReadFile(setup_), one);
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH, "-d data -j 3 -m non"), 0) << Stderr();
    EXPECT_NE(ReadFile(setup_), one);
}

TEST_F(SetupEndToEnd, GivenArchiveIsCarriedAsItIs) {
    const Bytes archive = MakeArchive({{"doc\\a.txt", {'a', 'b'}}});
    WriteFile(dir_ / "data.arc", archive);
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH, "-a data.arc -m non"), 0) << Stderr();
    const Bytes bytes = ReadFile(setup_);
    ASSERT_GE(bytes.size(), archive.size() + 4);
    EXPECT_EQ(Bytes(bytes.end() - static_cast<std::ptrdiff_t>(archive.size()), bytes.end()), archive);
    EXPECT_EQ(U32At(bytes, bytes.size() - archive.size() - 4), archive.size());
}

TEST_F(SetupEndToEnd, InfoShowsThePayloadOrNone) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    ASSERT_EQ(Qvx("setup info " + Quote(setup_)), 0) << Stderr();
    const std::string out = Stdout();
    EXPECT_NE(out.find("payload offset: " + std::to_string(PayloadOffset()) + "\n"), std::string::npos);
    EXPECT_NE(out.find("Installer\\Quorvex.exe"), std::string::npos);
    EXPECT_NE(out.find("sub dir\\big.bin"), std::string::npos);
    EXPECT_NE(out.find("method LH5"), std::string::npos);
    ASSERT_EQ(Qvx("setup info " + Quote(QVX_SETUP_PATH)), 0);
    EXPECT_EQ(Stdout(), "no payload\n");
}

TEST_F(SetupEndToEnd, BuiltSetupFilePassesSetupTestAndADamagedOneFails) {
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH), 0) << Stderr();
    ASSERT_EQ(Qvx("setup test " + Quote(setup_)), 0) << Stderr();
    EXPECT_NE(Stdout().find("1 entry with the engine: OK\n"), std::string::npos) << Stdout();
    EXPECT_NE(Stdout().find("2 entries: OK\nnot signed\n"), std::string::npos) << Stdout();
    Bytes bytes = ReadFile(setup_);
    bytes[bytes.size() - 100] ^= 0x5A;  // inside the compressed data of the last entry
    WriteFile(setup_, bytes);
    EXPECT_EQ(Qvx("setup test " + Quote(setup_)), 1);
    EXPECT_TRUE(Stderr().starts_with("qvx: " + setup_ + ": archive 2: sub dir\\big.bin: ")) << Stderr();
}

TEST_F(SetupEndToEnd, BuildRefusesWhatIsNotAnUnpatchedLauncher) {
    ASSERT_EQ(BuildSetup(QVX_RECORD_ENGINE_PATH), 0) << Stderr();
    EXPECT_EQ(Qvx("setup build -l " + Quote(setup_) + " -e " + Quote(QVX_RECORD_ENGINE_PATH) + " -m non -o again"), 1);
    EXPECT_EQ(Stderr(), "qvx: " + setup_ + ": the launcher is already patched (it carries a payload)\n");
    EXPECT_EQ(Qvx("setup build -l " + Quote(QVX_RECORD_ENGINE_PATH) + " -e " + Quote(QVX_RECORD_ENGINE_PATH) +
                  " -m non -o again"),
              1);
    EXPECT_EQ(Stderr(), std::string("qvx: ") + QVX_RECORD_ENGINE_PATH + ": no size marker: not a launcher\n");
    EXPECT_FALSE(fs::exists(dir_ / "again"));
    // Two markers: a launcher image carrying a second copy could be found at the wrong one.
    Bytes twice = ReadFile(QVX_SETUP_PATH);
    const Bytes marker = MarkerBytes(std::uint32_t{0x58585858});
    twice.insert(twice.end(), marker.begin(), marker.end());
    WriteFile(dir_ / "twice", twice);
    EXPECT_EQ(Qvx("setup build -l twice -e " + Quote(QVX_RECORD_ENGINE_PATH) + " -m non -o again"), 1);
    EXPECT_EQ(Stderr(), "qvx: twice: the size marker occurs 2 times\n");
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

TEST_F(SetupEndToEnd, FailedBuildLeavesAnExistingOutputUntouched) {
    WriteFile(setup_, Bytes{'o', 'l', 'd'});
    EXPECT_EQ(BuildSetup(dir_ / "no engine"), 1);
    EXPECT_EQ(ReadFile(setup_), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(fs::directory_iterator(dir_.Path() / "out dir")->path().filename(), "My Setup");
}

TEST_F(SetupEndToEnd, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Qvx("setup build -l x -e y"), 2);
    EXPECT_EQ(Qvx("setup build -l x -e y -d a -a b -o z"), 2);
    EXPECT_EQ(Qvx("setup build -l x -e y -m lzh -o z"), 2);
}

TEST_F(SetupEndToEnd, StoredSetupInstallsToo) {
    ASSERT_EQ(BuildSetup(QVX_EXAMPLE_ENGINE_PATH, "-d data -m non"), 0) << Stderr();
    ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win") + " QVX_INSTALL_DIR=" + Quote(dir_ / "installed"), Quote(setup_)), 0)
        << Stderr();
    EXPECT_EQ(ReadFile(dir_ / "installed/sub dir/big.bin"), ReadFile(dir_ / "data/sub dir/big.bin"));
    ASSERT_EQ(Qvx("setup info " + Quote(setup_)), 0);
    // -m chooses the data's method; the engine is always compressed.
    const std::string out = Stdout();
    EXPECT_NE(out.find("archive 1: "), std::string::npos) << out;
    EXPECT_NE(out.find(", method LH5, 1 entry\n  LH5 "), std::string::npos) << out;
    EXPECT_NE(out.find(", method NON, 2 entries\n  NON "), std::string::npos) << out;
}

TEST_F(SetupEndToEnd, AnEngineThatIsAScriptStarts) {
    // The interpreter opens the script again by the name the launcher started it under.
    const std::string script = dir_ / "engine.sh";
    const std::string argvFile = dir_ / "argv.txt";
    const std::string text = "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + Quote(argvFile) + "\n";
    WriteFile(script, Bytes(text.begin(), text.end()));
    fs::permissions(script, fs::perms::owner_all);
    ASSERT_EQ(BuildSetup(script), 0) << Stderr();
    ASSERT_EQ(Run("WINDIR=" + Quote(dir_ / "win"), Quote(setup_)), 0) << Stderr();
    const auto argv = Lines(ReadText(argvFile));
    ASSERT_EQ(argv.size(), 2u);
    EXPECT_EQ(argv[0], "/SOURCE=" + setup_);
}

}  // namespace
}  // namespace qvx::launcher::test
