#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>

#include "EngineEntry.h"
#include "ErrorReport.h"
#include "FakePlatform.h"
#include "MainSequence.h"
#include "TestFiles.h"

namespace qvx::launcher::test {
namespace {

namespace fs = std::filesystem;

const Bytes kEngine = {'M', 'Z', 1, 2, 3, 0, 0xFF, 'e', 'n', 'g', 'i', 'n', 'e'};
const Bytes kVictim = {'v', 'i', 'c', 't', 'i', 'm'};

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MainSequenceTest : public ::testing::Test {
protected:
    MainSequenceTest() {
        fs::create_directories(dir_.Path() / "source dir");
        fs::create_directories(dir_.Path() / "temp dir");
        fs::create_directories(dir_.Path() / "win dir");
        platform_.modulePath = dir_ / "source dir/My Setup.exe";
        platform_.tempDirectory = dir_ / "temp dir/";
        platform_.windowsDirectory = dir_ / "win dir";
        WriteFile(dir_ / "victim", kVictim);
    }

    void WriteSetup(const Bytes& firstArchive, const Bytes* second = nullptr) {
        setup_ = MakeSetupFile(kImageSize, firstArchive, second);
        WriteFile(platform_.modulePath, setup_);
    }
    std::string StagedPath() const { return platform_.tempDirectory + "QVX0001.tmp"; }
    std::string WindowsEngine() const { return platform_.windowsDirectory + "/Quorvex.exe"; }
    std::string FallbackEngine() const { return platform_.tempDirectory + "Quorvex.exe"; }
    std::string ReportText() const { return platform_.reports.empty() ? "" : platform_.reports[0].second; }
    // The report expected for an exception of the given class and message.
    std::string Expected(const std::string& className, const std::string& message) const {
        return "Exception " + className + " in module My Setup.exe at 1234ABCD.\n" + message;
    }
    // A failed run: the report, exit 1, nothing started (but for the attempts the fake platform
    // failed), and nothing of the run left.
    void ExpectFailureLeavingNothing(const std::string& report, std::size_t attempts = 0) {
        EXPECT_EQ(RunLauncher(platform_), 1);
        EXPECT_EQ(ReportText(), report);
        EXPECT_EQ(platform_.runs.size(), attempts);
        EXPECT_TRUE(fs::is_empty(platform_.tempDirectory)) << Listing(platform_.tempDirectory).front();
        EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
        EXPECT_EQ(platform_.released, std::vector<std::string>{platform_.tempDirectory});
        EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
    }

    static constexpr std::size_t kImageSize = 3000;
    TempDir dir_;
    FakePlatform platform_;
    Bytes setup_;
};

TEST_F(MainSequenceTest, StagesTheArchiveExpandsTheEngineAndStartsIt) {
    const Bytes archive = MakeArchive({{"readme", {'r'}}, {"Installer\\Quorvex.exe", kEngine}});
    const Bytes data = MakeArchive({{"a", {'a'}}});
    WriteSetup(archive, &data);
    platform_.runResult.ExitCode = 7;  // the engine's own exit code does not matter

    EXPECT_EQ(RunLauncher(platform_), 0);

    ASSERT_EQ(platform_.runs.size(), 1u);
    const EngineCommand& run = platform_.runs[0];
    EXPECT_EQ(run.Program, WindowsEngine());
    EXPECT_EQ(run.Parameters, "\"/SOURCE=" + platform_.modulePath + "\" \"/DATA=" + StagedPath() + "\"");
    EXPECT_EQ(run.Arguments, (std::vector<std::string>{"/SOURCE=" + platform_.modulePath, "/DATA=" + StagedPath()}));
    EXPECT_EQ(run.ShowCommand, 1);
    EXPECT_TRUE(platform_.engineOpenAtStart);  // held open until it started
    EXPECT_EQ(platform_.engineBytesAtStart[0], std::string(kEngine.begin(), kEngine.end()));
    EXPECT_EQ(ReadFile(StagedPath()), archive);     // exactly the first archive, nothing of the second
    EXPECT_EQ(ReadFile(WindowsEngine()), kEngine);  // both files stay for the engine, and only they
    EXPECT_EQ(Listing(platform_.windowsDirectory), std::vector<std::string>{"Quorvex.exe"});
    EXPECT_EQ(Listing(platform_.tempDirectory), std::vector<std::string>{"QVX0001.tmp"});
    struct stat st {};
    ASSERT_EQ(::stat(WindowsEngine().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(StagedPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(platform_.beeps, 0);
    EXPECT_TRUE(platform_.reports.empty());
    EXPECT_TRUE(platform_.released.empty());
}

TEST_F(MainSequenceTest, ParameterStringQuotesBothPathsWhole) {
    EXPECT_EQ(EngineParameters("C:\\Down loads\\Setup 1.exe", "C:\\Temp Dir\\QVX1A.tmp"),
              "\"/SOURCE=C:\\Down loads\\Setup 1.exe\" \"/DATA=C:\\Temp Dir\\QVX1A.tmp\"");
}

TEST_F(MainSequenceTest, WindowsDirectoryGetsExactlyOneTrailingDelimiter) {
    platform_.windowsStyle = true;
    platform_.windowsDirectory = "C:\\WINDOWS";
    EXPECT_EQ(GetWindowsDirPath(platform_), "C:\\WINDOWS\\");
    platform_.windowsDirectory = "C:\\";
    EXPECT_EQ(GetWindowsDirPath(platform_), "C:\\");
}

TEST_F(MainSequenceTest, DirectoryPartEndsAtTheLastDelimiter) {
    platform_.windowsStyle = true;
    EXPECT_EQ(DirectoryPart(platform_, "C:\\Users\\a b\\Temp\\QVX1.tmp"), "C:\\Users\\a b\\Temp\\");
    EXPECT_EQ(DirectoryPart(platform_, "D:QVX1.tmp"), "D:");
    EXPECT_EQ(DirectoryPart(platform_, "QVX1.tmp"), "");
    platform_.windowsStyle = false;
    EXPECT_EQ(DirectoryPart(platform_, "/tmp/QVX.ab/QVX1.tmp"), "/tmp/QVX.ab/");
}

TEST_F(MainSequenceTest, WindowsDirectoryWithTrailingDelimiterGetsNoSecond) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.windowsDirectory += "/";
    EXPECT_EQ(RunLauncher(platform_), 0);
    ASSERT_EQ(platform_.runs.size(), 1u);
    EXPECT_EQ(platform_.runs[0].Program, platform_.windowsDirectory + "Quorvex.exe");
}

TEST_F(MainSequenceTest, FallsBackToTheStagedArchivesDirectoryWhenTheWindowsDirectoryIsNotWritable) {
    WriteSetup(MakeArchive({{"installer\\QUORVEX.EXE", kEngine}}));  // names match without case
    platform_.windowsDirectory = dir_ / "no such dir";
    EXPECT_EQ(RunLauncher(platform_), 0);
    ASSERT_EQ(platform_.runs.size(), 1u);
    EXPECT_EQ(platform_.runs[0].Program, FallbackEngine());
    EXPECT_EQ(platform_.runs[0].Parameters, "\"/SOURCE=" + platform_.modulePath + "\" \"/DATA=" + StagedPath() + "\"");
    EXPECT_EQ(ReadFile(FallbackEngine()), kEngine);
    EXPECT_TRUE(platform_.reports.empty());
}

TEST_F(MainSequenceTest, AnEarlierEngineIsReplacedByAGoodOneAndKeptByAFailedRun) {
    const Bytes earlier = {'o', 'l', 'd'};
    WriteFile(WindowsEngine(), earlier);
    Bytes damaged = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    damaged[0] = 'X';
    WriteSetup(damaged);
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_EQ(ReadFile(WindowsEngine()), earlier);
    EXPECT_EQ(Listing(platform_.windowsDirectory), std::vector<std::string>{"Quorvex.exe"});

    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_EQ(ReadFile(WindowsEngine()), kEngine);
}

// Whatever holds the engine's name in the Windows directory that is not a plain file, the engine
// goes to the fallback location and nothing is written through it.
TEST_F(MainSequenceTest, ALinkOrNonFileAtTheEnginePathSendsTheEngineToTheFallback) {
    const std::string target = dir_ / "dangling target";
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
        {"link to a file", [&](const std::string& at) { fs::create_symlink(dir_ / "victim", at); }},
        {"dangling link", [&](const std::string& at) { fs::create_symlink(target, at); }},
        {"link to a FIFO",
         [&](const std::string& at) {
             ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
             fs::create_symlink(dir_ / "fifo", at);
         }},
        {"FIFO", [&](const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }},
        {"directory", [&](const std::string& at) { fs::create_directory(at); }},
    };
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    for (const auto& [what, plant] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all(platform_.windowsDirectory);
        fs::remove_all(platform_.tempDirectory);
        fs::remove(dir_ / "fifo");
        fs::create_directories(platform_.windowsDirectory);
        fs::create_directories(platform_.tempDirectory);
        platform_.runs.clear();
        plant(WindowsEngine());
        const auto before = fs::symlink_status(WindowsEngine()).type();

        EXPECT_EQ(RunLauncher(platform_), 0) << ReportText();
        ASSERT_EQ(platform_.runs.size(), 1u);
        EXPECT_EQ(platform_.runs[0].Program, FallbackEngine());
        EXPECT_EQ(ReadFile(FallbackEngine()), kEngine);
        EXPECT_EQ(fs::symlink_status(WindowsEngine()).type(), before);
        EXPECT_EQ(Listing(platform_.windowsDirectory), std::vector<std::string>{"Quorvex.exe"});
        EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
        EXPECT_FALSE(fs::exists(target));
    }
}

TEST_F(MainSequenceTest, LinksAtBothEnginePathsEndTheRunWithNothingWritten) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    fs::create_symlink(dir_ / "victim", WindowsEngine());
    fs::create_symlink(dir_ / "dangling target", FallbackEngine());
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_EQ(ReportText(), Expected("EFCreateError", "Cannot create file " + FallbackEngine() + "."));
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(Listing(platform_.windowsDirectory), std::vector<std::string>{"Quorvex.exe"});
    EXPECT_EQ(Listing(platform_.tempDirectory), std::vector<std::string>{"Quorvex.exe"});  // the staged archive is gone
    EXPECT_TRUE(fs::is_symlink(WindowsEngine()));
    EXPECT_TRUE(fs::is_symlink(FallbackEngine()));
    EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
    EXPECT_FALSE(fs::exists(dir_ / "dangling target"));
}

// Temporary names already taken (by links to a victim, dangling links, files) are passed over.
TEST_F(MainSequenceTest, TakenTemporaryNamesArePassedOver) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    fs::create_symlink(dir_ / "victim", platform_.tempDirectory + "QVX0001.tmp");
    fs::create_symlink(dir_ / "dangling target", platform_.tempDirectory + "QVX0002.tmp");
    fs::create_symlink(dir_ / "victim", platform_.windowsDirectory + "/Quorvex0001.tmp");
    EXPECT_EQ(RunLauncher(platform_), 0) << ReportText();
    ASSERT_EQ(platform_.runs.size(), 1u);
    const std::string staged = platform_.tempDirectory + "QVX0003.tmp";
    EXPECT_EQ(platform_.runs[0].Arguments[1], "/DATA=" + staged);
    EXPECT_EQ(ReadFile(staged), MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    EXPECT_EQ(ReadFile(WindowsEngine()), kEngine);
    EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
    EXPECT_FALSE(fs::exists(dir_ / "dangling target"));
    EXPECT_EQ(Listing(platform_.windowsDirectory), (std::vector<std::string>{"Quorvex.exe", "Quorvex0001.tmp"}));
}

TEST_F(MainSequenceTest, FailureToCreateTheFallbackEngineFileIsReported) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.windowsDirectory = dir_ / "no such dir";
    fs::create_directories(FallbackEngine());  // a directory blocks the file
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(), Expected("EFCreateError", "Cannot create file " + FallbackEngine() + "."));
    EXPECT_EQ(Listing(platform_.tempDirectory), std::vector<std::string>{"Quorvex.exe"});
}

TEST_F(MainSequenceTest, UnpatchedLauncherBeepsAndExitsWithoutCreatingAnything) {
    Bytes image(kImageSize, 0);
    const std::uint8_t placeholder[4] = {'X', 'X', 'X', 'X'};
    const Bytes marker = MarkerBytes(placeholder);
    std::copy(marker.begin(), marker.end(), image.begin() + 40);
    WriteFile(platform_.modulePath, image);
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_EQ(platform_.beeps, 1);
    EXPECT_EQ(platform_.tempDirectoriesMade, 0);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_TRUE(platform_.reports.empty());
    EXPECT_TRUE(fs::is_empty(platform_.tempDirectory));
    EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
}

// Every failure after the staged archive was created: reported, nothing started, nothing left.
TEST_F(MainSequenceTest, FailedRunsStartNothingAndLeaveNothing) {
    const Bytes good = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    struct Case {
        std::string What;
        Bytes Archive;
        std::string Report;
    };
    Bytes badMagic = good;
    badMagic[0] = 'X';
    Bytes badChecksum = good;  // the stored entry's checksum no longer matches its bytes
    badChecksum[21 + 17] ^= 1;
    Bytes undefinedMethod = good;
    undefinedMethod[21 + 16] = 5;
    Bytes cut = good;
    cut.resize(cut.size() - 3);  // stored bytes run short
    const std::vector<Case> cases = {
        {"no engine entry", MakeArchive({{"Installer\\Other.exe", kEngine}}),
         Expected("EEngineNotFound", "The setup archive holds no entry Installer\\Quorvex.exe.")},
        {"empty archive", Bytes{},
         Expected("EEngineNotFound", "The setup archive holds no entry Installer\\Quorvex.exe.")},
        {"damaged header", badMagic, Expected("EInvalidHeader", "Can't recognize compressed file header.")},
        {"bad checksum", badChecksum,
         Expected("EBadChecksum", "Bad checksum during expansion -- data may be invalid.")},
        {"undefined method", undefinedMethod,
         Expected("EUnrecognizedCompressionMethod", UnknownEntryMethodMessage(5) + ".")},
        {"cut entry", cut,
         Expected("ETruncatedArchive", "stored bytes run past the end of the archive: stored size 13, 10 bytes left.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        platform_.reports.clear();
        platform_.released.clear();
        WriteSetup(c.Archive);
        ExpectFailureLeavingNothing(c.Report);
    }
}

TEST_F(MainSequenceTest, EngineThatCannotBeStartedIsReportedAndRemoved) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.runResult = RunResult{false, -1, "Exec format error"};
    ExpectFailureLeavingNothing(
        Expected("EEngineStartError", "Cannot start " + WindowsEngine() + ": Exec format error."), 1);
}

TEST_F(MainSequenceTest, ArchiveSizeBeyondThePayloadIsRejectedBeforeAnythingIsWritten) {
    const Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    for (std::uint32_t size : {static_cast<std::uint32_t>(archive.size() + 1), 0x80000000u, 0xFFFFFFFFu}) {
        WriteSetup(archive);
        PutU32(setup_, kImageSize, size);
        WriteFile(platform_.modulePath, setup_);
        platform_.reports.clear();
        EXPECT_EQ(RunLauncher(platform_), 1) << size;
        EXPECT_EQ(platform_.tempDirectoriesMade, 0);
        EXPECT_TRUE(fs::is_empty(platform_.tempDirectory));
        EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
        EXPECT_TRUE(platform_.runs.empty());
        EXPECT_EQ(ReportText(),
                  Expected("EInvalidSize", "Invalid payload: the first archive's length " + std::to_string(size) +
                                               " exceeds the " + std::to_string(archive.size()) + " bytes behind it."));
    }
}

TEST_F(MainSequenceTest, ArchiveSizeUpToTheEndOfTheFileIsAccepted) {
    const Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    WriteSetup(archive);  // no second block: the first archive ends the file
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_EQ(ReadFile(StagedPath()), archive);
}

TEST_F(MainSequenceTest, UnreadableEngineExitCodeStillEndsWithZero) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.runResult = RunResult{true, -1, {}};
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_TRUE(platform_.reports.empty());
}

TEST_F(MainSequenceTest, UnopenableLauncherFileIsReportedWithTheStandardText) {
    platform_.modulePath = dir_ / "source dir/Gone.exe";
    EXPECT_EQ(RunLauncher(platform_), 1);
    ASSERT_EQ(platform_.reports.size(), 1u);
    EXPECT_EQ(platform_.reports[0].first, "Application Error");
    EXPECT_EQ(platform_.reports[0].second,
              "Exception EFOpenError in module Gone.exe at 1234ABCD.\nCannot open file " + platform_.modulePath + ".");
}

TEST_F(MainSequenceTest, UncreatableTemporaryArchiveIsReported) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.tempDirectory = dir_ / "no temp/";
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_EQ(ReportText(),
              Expected("EFCreateError", "Cannot create file " + platform_.tempDirectory + "QVX0001.tmp."));
    EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
}

TEST_F(MainSequenceTest, EveryEntryOfTheEngineNameIsExpandedInOrder) {
    TMemoryStream archive(
        MakeArchive({{"Installer\\Quorvex.exe", {'a', 'b'}}, {"x", {'-'}}, {"INSTALLER\\quorvex.exe", {'c'}}}));
    TMemoryStream out;
    EXPECT_EQ(ExtractEntryToStream(archive, out, kEngineEntryName, {}), 2);
    EXPECT_EQ(out.Data(), (Bytes{'a', 'b', 'c'}));
}

TEST(ErrorReportTest, FormatsTheFieldsAndEndsTheMessageWithOneDot) {
    EXPECT_EQ(FormatErrorReport("EReadError", "Setup.exe", 0x4A2B, "Stream read error"),
              "Exception EReadError in module Setup.exe at 00004A2B.\nStream read error.");
    EXPECT_EQ(FormatErrorReport("E", "m", 0xDEADBEEF, "Done."), "Exception E in module m at DEADBEEF.\nDone.");
    EXPECT_EQ(FormatErrorReport("E", "m", 0, ""), "Exception E in module m at 00000000.\n");
}

TEST(ErrorReportTest, ModuleNameIsTheFileNameWithoutDirectory) {
    EXPECT_EQ(ModuleBaseName("C:\\Users\\x\\Setup.exe"), "Setup.exe");
    EXPECT_EQ(ModuleBaseName("/opt/setup/Setup"), "Setup");
    EXPECT_EQ(ModuleBaseName("Setup"), "Setup");
}

}  // namespace
}  // namespace qvx::launcher::test
