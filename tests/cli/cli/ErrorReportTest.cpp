// The reason of a file failure travels with its exception: the library's file streams and the
// tool's own files carry the system's error number, and the reported line takes the file and the
// reason from the exception alone, never from its text or a second look at the disk.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>

#include "CliTestSupport.h"
#include "cli/ErrorReport.h"
#include "platform/AtomicFile.h"
#include "platform/FileStreams.h"

namespace qvx::cli::test {
namespace {

using ErrorReportTest = CliTest;

// The line reported for what action raises, and the error number a FileError carried (-1: none
// was raised as FileError).
struct Outcome {
    ErrorLine Line;
    int Error = -1;
};

Outcome Describe(const std::function<void()>& action, std::string_view caller) {
    Outcome outcome;
    try {
        action();
        ADD_FAILURE() << "nothing was raised";
    } catch (const platform::FileError& e) {
        outcome.Error = e.Error();
        outcome.Line = DescribeCurrentException(caller).value_or(ErrorLine{});
    } catch (...) {
        outcome.Line = DescribeCurrentException(caller).value_or(ErrorLine{});
    }
    return outcome;
}

// What the library's file streams keep: Win32 error codes on Windows, errno values elsewhere.
#ifdef _WIN32
constexpr int kDirectoryOpenError = EACCES;  // a directory cannot be opened as a file
constexpr int kNoSpace = 112;                // ERROR_DISK_FULL
constexpr int kSharingViolation = 32;        // ERROR_SHARING_VIOLATION
#else
constexpr int kDirectoryOpenError = EISDIR;
constexpr int kNoSpace = ENOSPC;
constexpr int kSharingViolation = EWOULDBLOCK;
#endif

TEST_F(ErrorReportTest, LibraryStreamsCarryThePathAndTheSystemsReason) {
    std::filesystem::create_directory(Path("folder"));
    const std::string missing = Path("missing").string();
    const std::string folder = Path("folder").string();
    const std::string nowhere = (Path("none") / "out").string();
    struct Case {
        const char* What;
        std::function<void()> Action;
        std::string File;
        int Error;
    };
    Write("held", "x");
    const std::string held = Path("held").string();
    const TFileStream holder(held, FileMode::ReadExclusive);
    const std::vector<Case> cases = {
        {"open a missing file", [&] { TFileStream s(missing, FileMode::ReadShared); }, missing, ENOENT},
        {"open a file another opener holds", [&] { TFileStream s(held, FileMode::ReadShared); }, held, EBUSY},
        {"open a directory", [&] { TFileStream s(folder, FileMode::ReadExclusive); }, folder, kDirectoryOpenError},
        {"create in a missing directory", [&] { TFileStream s(nowhere, FileMode::Create); }, nowhere, ENOENT},
    };
    for (const Case& c : cases) {
        const Outcome o = Describe(c.Action, "the caller's file");
        EXPECT_EQ(o.Line.File, c.File) << c.What;
        EXPECT_EQ(o.Line.Message, c.Error == EBUSY ? platform::kFileInUseText : platform::SystemMessage(c.Error))
            << c.What;
    }
}

TEST_F(ErrorReportTest, StreamErrorsWithoutAReasonKeepTheirMessage) {
    struct Case {
        std::function<void()> Action;
        std::string File;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {[] { throw EFOpenError("Cannot open file /proc/self/exe"); }, "caller", "Cannot open file /proc/self/exe"},
        {[] { throw EFCreateError("Cannot create file x", "x", 0); }, "x", "Cannot create file x"},
        {[] { throw EFCreateError("Cannot create file y", "", kNoSpace); }, "caller", platform::SystemMessage(ENOSPC)},
    };
    for (const Case& c : cases) {
        const Outcome o = Describe(c.Action, "caller");
        EXPECT_EQ(o.Line.File, c.File) << c.Message;
        EXPECT_EQ(o.Line.Message, c.Message) << c.Message;
    }
}

TEST_F(ErrorReportTest, TheToolsFileErrorsCarryTheSystemsErrorNumber) {
    Write("taken", "old");
    std::filesystem::create_directory(Path("folder"));
    struct Case {
        const char* What;
        std::function<void()> Action;
        std::string File;
        std::string Message;
        int Error;
    };
    const std::string missing = Path("missing").string();
    const std::string folder = Path("folder").string();
    const std::vector<Case> cases = {
        {"open a missing file", [&] { OpenReadFile(missing); }, missing, platform::SystemMessage(ENOENT), ENOENT},
        {"open a directory", [&] { OpenReadFile(folder); }, folder, platform::SystemMessage(EISDIR), EISDIR},
        {"replace without leave",
         [&] {
             AtomicFile f(Path("taken"));
             f.Commit(false);
         },
         Path("taken").string(), "File exists (use -f to overwrite)", EEXIST},
        {"the tool's own words", [] { throw platform::FileError("a.spis", "not an archive"); }, "a.spis",
         "not an archive", 0},
    };
    for (const Case& c : cases) {
        const Outcome o = Describe(c.Action, "caller");
        EXPECT_EQ(o.Error, c.Error) << c.What;
        EXPECT_EQ(o.Line.File, c.File) << c.What;
        EXPECT_EQ(o.Line.Message, c.Message) << c.What;
    }
}

TEST(ErrorNumberTest, SystemErrorsBecomeThePlatformsNumbers) {
    EXPECT_EQ(platform::ErrorNumber(0), 0);
    EXPECT_EQ(platform::ErrorNumber(kNoSpace), ENOSPC);
    EXPECT_TRUE(platform::IsFileInUse(platform::ErrorNumber(kSharingViolation)));
}

}  // namespace
}  // namespace qvx::cli::test
