#include <gtest/gtest.h>

#include <filesystem>

#include <instcompress/MemoryStream.h>

#include "ErrorReport.h"
#include "FakePlatform.h"
#include "MainSequence.h"
#include "TestFiles.h"

namespace qvx::launcher::test {
namespace {

namespace fs = std::filesystem;

const Bytes kEngine = {'M', 'Z', 1, 2, 3, 0, 0xFF, 'e', 'n', 'g', 'i', 'n', 'e'};

class MainSequenceTest : public ::testing::Test {
protected:
    MainSequenceTest() {
        fs::create_directories(dir_.Path() / "source dir");
        fs::create_directories(dir_.Path() / "temp dir");
        fs::create_directories(dir_.Path() / "win dir");
        platform_.modulePath = dir_ / "source dir/My Setup.exe";
        platform_.tempDirectory = dir_ / "temp dir/";
        platform_.windowsDirectory = dir_ / "win dir";
    }

    void WriteSetup(const Bytes& firstArchive, const Bytes* second = nullptr) {
        setup_ = MakeSetupFile(kImageSize, firstArchive, second);
        WriteFile(platform_.modulePath, setup_);
    }
    std::string StagedPath() const { return platform_.tempDirectory + "QVX1.tmp"; }
    std::string ReportText() const { return platform_.reports.empty() ? "" : platform_.reports[0].second; }
    // The report expected for an exception of the given class and message.
    std::string Expected(const std::string& className, const std::string& message) const {
        return "Exception " + className + " in module My Setup.exe at 1234ABCD.\n" + message;
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

    const std::string engine = platform_.windowsDirectory + "/Quorvex.exe";
    ASSERT_EQ(platform_.runs.size(), 1u);
    const EngineCommand& run = platform_.runs[0];
    EXPECT_EQ(run.Program, engine);
    EXPECT_EQ(run.Parameters, "\"/SOURCE=" + platform_.modulePath + "\" \"/DATA=" + StagedPath() + "\"");
    EXPECT_EQ(run.Arguments, (std::vector<std::string>{"/SOURCE=" + platform_.modulePath, "/DATA=" + StagedPath()}));
    EXPECT_EQ(run.ShowCommand, 1);
    EXPECT_EQ(platform_.engineBytesAtStart[0], std::string(kEngine.begin(), kEngine.end()));
    EXPECT_EQ(ReadFile(StagedPath()), archive);  // exactly the first archive, nothing of the second
    EXPECT_EQ(ReadFile(engine), kEngine);        // both files stay for the engine
    EXPECT_EQ(platform_.beeps, 0);
    EXPECT_TRUE(platform_.reports.empty());
    EXPECT_TRUE(platform_.removed.empty());
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
    const std::string engine = platform_.tempDirectory + "Quorvex.exe";
    EXPECT_EQ(platform_.runs[0].Program, engine);
    EXPECT_EQ(platform_.runs[0].Parameters,
              "\"/SOURCE=" + platform_.modulePath + "\" \"/DATA=" + StagedPath() + "\"");
    EXPECT_EQ(ReadFile(engine), kEngine);
    EXPECT_TRUE(platform_.reports.empty());
}

TEST_F(MainSequenceTest, FailureToCreateTheFallbackEngineFileIsReported) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.windowsDirectory = dir_ / "no such dir";
    fs::create_directories(platform_.tempDirectory + "Quorvex.exe");  // a directory blocks the file
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(),
              Expected("EFCreateError", "Cannot create file " + platform_.tempDirectory + "Quorvex.exe."));
}

TEST_F(MainSequenceTest, UnpatchedLauncherBeepsAndExitsWithoutCreatingAnything) {
    Bytes image(kImageSize, 0);
    const std::uint8_t placeholder[4] = {'X', 'X', 'X', 'X'};
    const Bytes marker = MarkerBytes(placeholder);
    std::copy(marker.begin(), marker.end(), image.begin() + 40);
    WriteFile(platform_.modulePath, image);
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_EQ(platform_.beeps, 1);
    EXPECT_EQ(platform_.tempNamesMade, 0);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_TRUE(platform_.reports.empty());
    EXPECT_TRUE(fs::is_empty(platform_.tempDirectory));
    EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
}

TEST_F(MainSequenceTest, MissingEngineEntryIsReportedAndNothingStarts) {
    WriteSetup(MakeArchive({{"Installer\\Other.exe", kEngine}}));
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(), Expected("EEngineNotFound", "The setup archive holds no entry Installer\\Quorvex.exe."));
    EXPECT_EQ(platform_.reports[0].first, "Application Error");
    EXPECT_FALSE(fs::exists(platform_.windowsDirectory + "/Quorvex.exe"));
    EXPECT_EQ(platform_.removed, std::vector<std::string>{platform_.windowsDirectory + "/Quorvex.exe"});
}

TEST_F(MainSequenceTest, EmptyStagedArchiveHasNoEngine) {
    WriteSetup(Bytes{});
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReadFile(StagedPath()).size(), 0u);
    EXPECT_NE(ReportText().find("EEngineNotFound"), std::string::npos);
}

TEST_F(MainSequenceTest, DamagedArchiveIsReportedAndThePartialEngineRemoved) {
    Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    archive[0] = 'X';  // magic
    WriteSetup(archive);
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(), Expected("EInvalidHeader", "Can't recognize compressed file header."));
    EXPECT_FALSE(fs::exists(platform_.windowsDirectory + "/Quorvex.exe"));
}

TEST_F(MainSequenceTest, BadChecksumIsReportedAndTheEngineNotStarted) {
    Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    archive[21 + 17] ^= 1;  // the stored entry's checksum no longer matches its bytes
    WriteSetup(archive);
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(), Expected("EBadChecksum", "Bad checksum during expansion -- data may be invalid."));
    EXPECT_FALSE(fs::exists(platform_.windowsDirectory + "/Quorvex.exe"));
}

TEST_F(MainSequenceTest, TruncatedEngineEntryIsReportedAndThePartialFileRemoved) {
    Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    archive.resize(archive.size() - 3);  // stored bytes run short
    WriteSetup(archive);
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_TRUE(platform_.runs.empty());
    EXPECT_EQ(ReportText(), Expected("ETruncatedArchive",
                                     "stored bytes run past the end of the archive: stored size 13, 10 bytes left."));
    EXPECT_FALSE(fs::exists(platform_.windowsDirectory + "/Quorvex.exe"));
}

TEST_F(MainSequenceTest, ArchiveSizeBeyondThePayloadIsRejectedBeforeAnythingIsWritten) {
    const Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    for (std::uint32_t size : {static_cast<std::uint32_t>(archive.size() + 1), 0x80000000u, 0xFFFFFFFFu}) {
        WriteSetup(archive);
        PutU32(setup_, kImageSize, size);
        WriteFile(platform_.modulePath, setup_);
        platform_.reports.clear();
        EXPECT_EQ(RunLauncher(platform_), 1) << size;
        EXPECT_EQ(platform_.tempNamesMade, 0);
        EXPECT_TRUE(fs::is_empty(platform_.tempDirectory));
        EXPECT_TRUE(fs::is_empty(platform_.windowsDirectory));
        EXPECT_TRUE(platform_.runs.empty());
        EXPECT_EQ(ReportText(), Expected("EInvalidSize", "Invalid payload: the first archive's length " +
                                                             std::to_string(size) + " exceeds the " +
                                                             std::to_string(archive.size()) + " bytes behind it."));
    }
}

TEST_F(MainSequenceTest, ArchiveSizeUpToTheEndOfTheFileIsAccepted) {
    const Bytes archive = MakeArchive({{"Installer\\Quorvex.exe", kEngine}});
    WriteSetup(archive);  // no second block: the first archive ends the file
    EXPECT_EQ(RunLauncher(platform_), 0);
    EXPECT_EQ(ReadFile(StagedPath()), archive);
}

TEST_F(MainSequenceTest, EngineThatCannotBeStartedIsReported) {
    WriteSetup(MakeArchive({{"Installer\\Quorvex.exe", kEngine}}));
    platform_.runResult = RunResult{false, -1, "Exec format error"};
    EXPECT_EQ(RunLauncher(platform_), 1);
    EXPECT_EQ(ReportText(), Expected("EEngineStartError", "Cannot start " + platform_.windowsDirectory +
                                                              "/Quorvex.exe: Exec format error."));
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
    EXPECT_EQ(ReportText(), Expected("EFCreateError", "Cannot create file " + platform_.tempDirectory + "QVX1.tmp."));
}

TEST_F(MainSequenceTest, EveryEntryOfTheEngineNameIsExpandedInOrder) {
    const std::string path = dir_ / "two.arc";
    WriteFile(path, MakeArchive({{"Installer\\Quorvex.exe", {'a', 'b'}}, {"x", {'-'}}, {"INSTALLER\\quorvex.exe", {'c'}}}));
    TMemoryStream out;
    EXPECT_EQ(ExtractEntryToStream(path, out, kEngineEntryName, {}), 2);
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
