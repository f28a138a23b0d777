// The launcher's files on POSIX: exclusive creation that never follows a link, sealing, renaming
// into place, removal of its own file only; the engine's placement and checks over them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>

#include "EngineEntry.h"
#include "EnginePlacement.h"
#include "LauncherErrors.h"
#include "LauncherFile.h"
#include "TestFiles.h"

namespace qvx::launcher::test {
namespace {

namespace fs = std::filesystem;
using Kind = LauncherFile::Kind;
using Result = LauncherFile::CreateResult;

const Bytes kVictim = {'v', 'i', 'c', 't', 'i', 'm'};

class LauncherFileTest : public ::testing::Test {
protected:
    LauncherFileTest() { WriteFile(dir_ / "victim", kVictim); }

    std::unique_ptr<LauncherFile> Create(const std::string& name, const Bytes& bytes = {}) {
        std::unique_ptr<LauncherFile> file;
        EXPECT_EQ(LauncherFile::CreateNew(dir_ / name, false, file), Result::Created);
        if (file && !bytes.empty()) file->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        return file;
    }

    TempDir dir_;
};

// One planted thing at a name: what it is, how to make it, and what Probe calls it.
struct Planted {
    std::string What;
    std::function<void(const TempDir&, const std::string&)> Make;
    Kind Probed;
};

std::vector<Planted> PlantedThings() {
    return {
        {"plain file", [](const TempDir&, const std::string& at) { WriteFile(at, {'x'}); }, Kind::File},
        {"link to a file", [](const TempDir& d, const std::string& at) { fs::create_symlink(d / "victim", at); },
         Kind::Other},
        {"dangling link", [](const TempDir& d, const std::string& at) { fs::create_symlink(d / "target", at); },
         Kind::Other},
        {"link to a directory",
         [](const TempDir& d, const std::string& at) { fs::create_directory_symlink(d.Path(), at); }, Kind::Other},
        {"FIFO", [](const TempDir&, const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, Kind::Other},
        {"directory", [](const TempDir&, const std::string& at) { fs::create_directory(at); }, Kind::Other},
    };
}

TEST_F(LauncherFileTest, AnythingAtTheNameMakesCreationFailAndIsLeftAlone) {
    for (const Planted& p : PlantedThings()) {
        SCOPED_TRACE(p.What);
        const std::string at = dir_ / "name";
        fs::remove_all(at);
        p.Make(dir_, at);
        EXPECT_EQ(LauncherFile::Probe(at), p.Probed);
        std::unique_ptr<LauncherFile> file;
        EXPECT_EQ(LauncherFile::CreateNew(at, false, file), Result::Exists);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
        EXPECT_FALSE(fs::exists(dir_ / "target"));
    }
    EXPECT_EQ(LauncherFile::Probe(dir_ / "none"), Kind::Absent);
    EXPECT_EQ(LauncherFile::Probe(dir_ / "none/deeper"), Kind::Absent);
    std::unique_ptr<LauncherFile> file;
    EXPECT_EQ(LauncherFile::CreateNew(dir_ / "none/deeper", false, file), Result::Failed);
}

TEST_F(LauncherFileTest, NewFilesAreTheOwnersOnly) {
    for (const bool executable : {false, true}) {
        const std::string at = dir_ / (executable ? "x" : "f");
        const mode_t old = ::umask(0777);  // the mode is exact whatever the umask
        std::unique_ptr<LauncherFile> file;
        const Result r = LauncherFile::CreateNew(at, executable, file);
        ::umask(old);
        ASSERT_EQ(r, Result::Created);
        struct stat st {};
        ASSERT_EQ(::stat(at.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, executable ? 0700u : 0600u);
    }
}

TEST_F(LauncherFileTest, UniqueNamesPassOverTakenOnesAndWrapAround) {
    fs::create_symlink(dir_ / "victim", dir_ / "QVXFFFF.tmp");
    fs::create_symlink(dir_ / "target", dir_ / "QVX0000.tmp");
    const auto file = CreateUniqueFile(dir_.Path().string() + "/", "QVX", ".tmp", 0x1FFFF, false);
    EXPECT_EQ(file->Path(), dir_ / "QVX0001.tmp");
    EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
    EXPECT_FALSE(fs::exists(dir_ / "target"));
    try {
        CreateUniqueFile(dir_.Path().string() + "/", "QVX", ".tmp", 0xFFFF, false, 3);
        FAIL() << "every name was taken";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + (dir_ / "QVX0001.tmp"));
    }
    EXPECT_THROW(CreateUniqueFile(dir_ / "none/", "QVX", ".tmp", 0, false), EFCreateError);
}

TEST_F(LauncherFileTest, SealedFileIsReadOnlyAndMustStillBeTheSameFile) {
    auto file = Create("engine", {'a', 'b', 'c'});
    ASSERT_TRUE(file->Seal());
    file->SetPosition(0);
    Bytes back(3);
    EXPECT_EQ(file->Read(back.data(), 3), 3);
    EXPECT_EQ(back, (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(file->Write("x", 1), 0);  // read access only

    // Another file, a link to this one, a second link: not this file any more (or not only).
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> swaps = {
        {"another file",
         [&](const std::string& at) {
             fs::rename(at, dir_ / "moved");
             WriteFile(at, {'a', 'b', 'c'});
         }},
        {"a link to it",
         [&](const std::string& at) {
             fs::rename(at, dir_ / "moved");
             fs::create_symlink(dir_ / "moved", at);
         }},
        {"a second link", [&](const std::string& at) { fs::create_hard_link(at, dir_ / "moved"); }},
    };
    for (const auto& [what, swap] : swaps) {
        SCOPED_TRACE(what);
        fs::remove_all(dir_ / "moved");
        fs::remove(dir_ / "swapped");
        auto swapped = Create("swapped", {'1'});
        swap(dir_ / "swapped");
        EXPECT_FALSE(swapped->Seal());
        swapped->Remove();  // removes nothing that is not this file
        EXPECT_TRUE(fs::exists(dir_ / "moved"));
        EXPECT_EQ(fs::exists(fs::symlink_status(dir_ / "swapped")), what != "a second link");
    }
}

TEST_F(LauncherFileTest, MovingReplacesWhatIsAtTheNameWithoutWritingThroughIt) {
    for (const Planted& p : PlantedThings()) {
        SCOPED_TRACE(p.What);
        const std::string at = dir_ / "Quorvex.exe";
        fs::remove_all(at);
        p.Make(dir_, at);
        auto file = Create("new", {'e'});
        ASSERT_TRUE(file->Seal());
        const bool replaceable = p.What != "directory";
        EXPECT_EQ(file->MoveTo(at), replaceable);
        if (replaceable) {
            EXPECT_EQ(file->Path(), at);
            EXPECT_EQ(ReadFile(at), Bytes{'e'});
            EXPECT_FALSE(fs::is_symlink(at));
        }
        file->Remove();
        EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
        EXPECT_FALSE(fs::exists(dir_ / "target"));
        EXPECT_FALSE(fs::exists(dir_ / "new"));
    }
}

TEST_F(LauncherFileTest, RemoveDeletesOnlyItsOwnFileOpenOrClosed) {
    auto open = Create("open", {'1'});
    open->Remove();
    EXPECT_FALSE(fs::exists(dir_ / "open"));
    auto closed = Create("closed", {'1'});
    closed->Close();
    closed->Remove();
    EXPECT_FALSE(fs::exists(dir_ / "closed"));
    auto replaced = Create("replaced", {'1'});
    replaced->Close();
    fs::remove(dir_ / "replaced");
    fs::create_symlink(dir_ / "victim", dir_ / "replaced");
    replaced->Remove();
    EXPECT_TRUE(fs::is_symlink(dir_ / "replaced"));
    EXPECT_EQ(ReadFile(dir_ / "victim"), kVictim);
}

TEST_F(LauncherFileTest, TheEngineFileIsCheckedByteForByteAgainstTheArchive) {
    const Bytes engine = {'M', 'Z', 9, 8, 7};
    TMemoryStream archive(MakeArchive({{"Installer\\Quorvex.exe", engine}}));
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"same", engine},
        {"one byte differs", {'M', 'Z', 9, 8, 6}},
        {"one byte more", {'M', 'Z', 9, 8, 7, 0}},
        {"one byte less", {'M', 'Z', 9, 8}},
        {"empty", {}},
    };
    for (const auto& [what, contents] : cases) {
        SCOPED_TRACE(what);
        fs::remove(dir_ / "engine");
        auto file = Create("engine", contents);
        if (what == "same") {
            EXPECT_NO_THROW(VerifyEngineFile(archive, *file));
        } else {
            EXPECT_THROW(VerifyEngineFile(archive, *file), EEngineCheckError);
        }
    }
}

// Entries that expand to fewer bytes than they declare, with checksums that match what they do
// give: refused, by the archive component or by the launcher's own count of the bytes written.
TEST_F(LauncherFileTest, AnEngineEntryThatExpandsShortIsRefused) {
    Bytes undefined = MakeArchive({{"Installer\\Quorvex.exe", {0, 0, 0}}});
    undefined[21 + 16] = 9;  // an undefined method, which would write nothing; a sum of 0 matches
    Bytes claimsMore = MakeArchive({{"Installer\\Quorvex.exe", {1, 2, 3}}});
    claimsMore[21 + 8] = 8;  // stored: 3 bytes, expanded size 8
    for (const Bytes& bytes : {undefined, claimsMore}) {
        TMemoryStream archive(bytes);
        TMemoryStream out;
        EXPECT_THROW(ExpandEngineEntry(archive, out), Exception);
    }
}

TEST_F(LauncherFileTest, PlacingTheEngineLeavesOnlyTheEngine) {
    const Bytes engine = {'M', 'Z', 1};
    TMemoryStream archive(MakeArchive({{"Installer\\Quorvex.exe", engine}}));
    const std::string dir = dir_.Path().string() + "/";
    const auto placed = PlaceEngine(archive, dir, 7);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->Path(), dir + "Quorvex.exe");
    EXPECT_EQ(ReadFile(dir + "Quorvex.exe"), engine);
    EXPECT_FALSE(fs::exists(dir + "Quorvex0007.tmp"));
    EXPECT_EQ(PlaceEngine(archive, dir_ / "none/", 7), nullptr);
}

}  // namespace
}  // namespace qvx::launcher::test
