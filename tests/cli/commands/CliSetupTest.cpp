// qvx setup test, setup build's engine check and output "-", and the reading commands on setup
// files, over launcher stand-ins: a Windows-shaped one (PE headers, the size marker) and a plain
// one, each built into a setup file by the qvx binary and then damaged, signed or read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "CliTestSupport.h"
#include "setup/ElfTestFiles.h"
#include "setup/PeFile.h"
#include "setup/PeTestFiles.h"

namespace qvx::cli::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

std::uint32_t U32(const ByteVector& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

ByteVector FromText(const std::string& s) { return ByteVector(s.begin(), s.end()); }

// A launcher stand-in: the headers of a program image of 1536 bytes (PE, or ELF as a native one),
// the unpatched size marker, padding.
ByteVector Launcher(bool windows) {
    ByteVector image = windows ? PeHeaderBytes({.ImageEnd = 1536}) : ElfHeaderBytes(1536);
    image.resize(700, 0);
    const std::string marker = std::string("QVX_") + "SIZE" + "XXXX";
    image.insert(image.end(), marker.begin(), marker.end());
    image.resize(1536, 0xCC);
    return image;
}

ByteVector Engine(bool windows, std::uint16_t machine = 0x8664) {
    ByteVector engine = windows ? PeHeaderBytes({.Machine = machine}) : ByteVector{};
    const std::string body = PseudoRandomText(6000, 7);
    engine.insert(engine.end(), body.begin(), body.end());
    return engine;
}

// Where the parts of a built setup file lie.
struct Layout {
    std::size_t Offset = 0;  // the payload offset: the first length field
    std::size_t First = 0;   // the first archive
    std::size_t FirstLength = 0;
    std::size_t Second = 0;  // the second archive
    std::size_t SecondLength = 0;
    std::size_t End = 0;  // behind the second archive
};

Layout LayoutOf(const ByteVector& file, std::size_t launcherSize) {
    Layout l;
    l.Offset = launcherSize;
    l.First = l.Offset + 4;
    l.FirstLength = U32(file, l.Offset);
    l.Second = l.First + l.FirstLength + 4;
    l.SecondLength = U32(file, l.Second - 4);
    l.End = l.Second + l.SecondLength;
    return l;
}

void SetChecksum(ByteVector& file) {
    TMemoryStream stream(file);
    PutLe(file, ChecksumFieldAt(), pe::PeChecksum(stream, static_cast<std::uint32_t>(ChecksumFieldAt())), 4);
}

// What a signing tool does to a setup file: pad to 8 bytes, append a certificate table (one
// WIN_CERTIFICATE of certificateSize bytes), point the header's security entry at it, and set the
// checksum.
ByteVector Sign(ByteVector file, std::uint32_t certificateSize = 72) {
    file.resize((file.size() + 7) / 8 * 8, 0);
    const auto table = static_cast<std::uint32_t>(file.size());
    file.resize(file.size() + certificateSize, 0x30);
    PutLe(file, table, certificateSize, 4);
    PutLe(file, table + 4, 0x0200, 2);
    PutLe(file, table + 6, 0x0002, 2);
    PutLe(file, SecurityEntryAt(true), table, 4);
    PutLe(file, SecurityEntryAt(true) + 4, certificateSize, 4);
    SetChecksum(file);
    return file;
}

class SetupFileTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        Write("data/readme.txt", "read me\n");
        Write("data/docs/manual.txt", PseudoRandomText(20000, 3));
    }

    // Builds "setup" from the stand-ins; returns its bytes.
    ByteVector BuildSetupFile(bool windows) {
        Write("launcher", Launcher(windows));
        Write("engine", Engine(windows));
        const RunResult r = Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-d", "data", "-o", "setup"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        const std::string bytes = Read("setup");
        return ByteVector(bytes.begin(), bytes.end());
    }

    void ExpectEveryDamageFails(bool windows, bool isSigned);

    // Runs a shell pipeline in the test directory; returns qvx's exit code and output.
    RunResult Pipe(const std::string& producer, const std::string& qvxArgs) const {
        const std::string command = "cd '" + dir_.string() + "' && " + producer + " | '" + QVX_BINARY + "' " + qvxArgs +
                                    " >pipe.out 2>pipe.err";
        const int status = std::system(command.c_str());
        RunResult r;
        r.Code = WEXITSTATUS(status);
        r.Out = Read("pipe.out");
        r.Err = Read("pipe.err");
        return r;
    }
};

// One damaged setup file: what was done, and the fault setup test names (a prefix of the message).
struct Damage {
    std::string What;
    std::function<void(ByteVector&, const Layout&)> Apply;
    std::string Fault;
};

std::vector<Damage> DamagesOf(bool windows, bool isSigned) {
    const auto put = [](std::size_t at, std::uint32_t v) {
        return [at, v](ByteVector& b, const Layout&) { PutLe(b, at, v, 4); };
    };
    constexpr std::size_t field = 700 + 8;  // the marker's offset field in the stand-ins
    std::vector<Damage> d = {
        {"payload offset past the end", put(field, 0x7FFFFFF0),
         "the payload offset 2147483632 lies past the end of the file"},
        {"payload offset at the end",
         [](ByteVector& b, const Layout&) { PutLe(b, field, static_cast<std::uint32_t>(b.size()), 4); },
         "the payload offset " /* the size follows */},
        {"payload offset 0", put(field, 0), "the payload offset is 0"},
        {"negative payload offset", put(field, 0x80000000u), "the payload offset -2147483648 is negative"},
        {"first archive's magic", [](ByteVector& b, const Layout& l) { b[l.First] ^= 0x20; },
         "archive 1: Can't recognize compressed file header"},
        {"first archive's method", [](ByteVector& b, const Layout& l) { b[l.First + 7] = '4'; },
         "archive 1: Unrecognized compression method: \"LH4\" in header"},
        {"first archive's total size", [](ByteVector& b, const Layout& l) { b[l.First + 8] ^= 0x01; }, "archive 1: "},
        {"engine's compressed data", [](ByteVector& b, const Layout& l) { b[l.First + l.FirstLength / 2] ^= 0xFF; },
         "archive 1: Installer\\Quorvex.exe: "},
        {"engine's name", [](ByteVector& b, const Layout& l) { b[l.First + 21 + 25 + 3] ^= 0x01; },
         "archive 1: no engine entry Installer\\Quorvex.exe"},
        {"first archive's total size lowered",
         [](ByteVector& b, const Layout& l) { PutLe(b, l.First + 8, U32(b, l.First + 8) - 1, 4); },
         "archive 1: the entries hold "},
        {"first length field grown",
         [](ByteVector& b, const Layout& l) { PutLe(b, l.Offset, static_cast<std::uint32_t>(l.FirstLength + 1), 4); },
         "payload damaged: the second archive's length"},
        {"first length field past the end", [](ByteVector& b, const Layout& l) { PutLe(b, l.Offset, 0x7FFFFFFF, 4); },
         "payload damaged: the first archive's length 2147483647 exceeds"},
        {"first length field negative", [](ByteVector& b, const Layout& l) { PutLe(b, l.Offset, 0x80000001u, 4); },
         "payload damaged: the first archive's length 2147483649 is negative"},
        {"second archive's magic", [](ByteVector& b, const Layout& l) { b[l.Second + 1] ^= 0x01; },
         "archive 2: Can't recognize compressed file header"},
        {"second archive's data", [](ByteVector& b, const Layout& l) { b[l.Second + l.SecondLength / 2] ^= 0xFF; },
         "archive 2: "},
        {"second length field past the end",
         [](ByteVector& b, const Layout& l) {
             PutLe(b, l.Second - 4, static_cast<std::uint32_t>(l.SecondLength + 9), 4);
         },
         "payload damaged: the second archive's length"},
    };
    if (windows) {
        // No checksum of the archive format covers these; the PE checksum does.
        d.push_back({"a byte of the launcher image", [](ByteVector& b, const Layout&) { b[1000] ^= 0x04; },
                     "the PE header's checksum"});
        d.push_back({"an entry's time stamp", [](ByteVector& b, const Layout& l) { b[l.First + 21 + 2] ^= 0x01; },
                     "the PE header's checksum"});
    }
    if (isSigned) {
        d.push_back({"certificate table past the end",
                     [](ByteVector& b, const Layout&) {
                         PutLe(b, SecurityEntryAt(true) + 4, U32(b, SecurityEntryAt(true) + 4) + 1, 4);
                     },
                     "the certificate table (73 bytes at offset "});
        d.push_back({"certificate table inside the image",
                     [](ByteVector& b, const Layout&) { PutLe(b, SecurityEntryAt(true), 64, 4); },
                     "the certificate table (72 bytes at offset 64) lies inside the launcher image"});
        d.push_back({"certificate length", [](ByteVector& b, const Layout& l) { PutLe(b, (l.End + 7) / 8 * 8, 4, 4); },
                     "the certificate table is damaged: its first certificate's length 4 does not fit"});
        d.push_back({"non-zero padding",
                     [](ByteVector& b, const Layout& l) {
                         if (l.End % 8 == 0) {  // no padding: make some by moving the table on
                             b.insert(b.begin() + static_cast<std::ptrdiff_t>(l.End), 8, 0);
                             PutLe(b, SecurityEntryAt(true), static_cast<std::uint32_t>(l.End + 8), 4);
                         }
                         b[l.End] = 1;
                     },
                     "payload damaged: "});
    }
    return d;
}

TEST_F(SetupFileTest, GoodSetupFilesPassSignedOrNot) {
    for (const bool windows : {false, true}) {
        for (const bool isSigned : {false, true}) {
            if (isSigned && !windows) continue;
            ByteVector file = BuildSetupFile(windows);
            const Layout l = LayoutOf(file, Launcher(windows).size());
            if (isSigned) file = Sign(file);
            Write("setup", file);
            const RunResult r = Qvx({"setup", "test", "setup"});
            EXPECT_EQ(r.Code, 0) << windows << isSigned << r.Err;
            EXPECT_EQ(r.Err, "");
            const std::string expected =
                "archive 1: " + std::to_string(l.FirstLength) + " bytes at offset " + std::to_string(l.First) +
                ", method LH5, 1 entry with the engine: OK\narchive 2: " + std::to_string(l.SecondLength) +
                " bytes at offset " + std::to_string(l.Second) + ", method LH5, 2 entries: OK\n" +
                (isSigned
                     ? "signed: certificate table of 72 bytes at offset " + std::to_string((l.End + 7) / 8 * 8) + "\n"
                     : "not signed\n");
            EXPECT_EQ(r.Out, expected);
        }
    }
}

// Every damage of DamagesOf, and cuts at many points, make setup test fail with the fault named.
void SetupFileTest::ExpectEveryDamageFails(bool windows, bool isSigned) {
    {
        {
            const std::string variant = windows ? (isSigned ? "signed: " : "windows: ") : "plain: ";
            ByteVector good = BuildSetupFile(windows);
            const Layout l = LayoutOf(good, Launcher(windows).size());
            if (isSigned) good = Sign(good);
            for (const Damage& damage : DamagesOf(windows, isSigned)) {
                ByteVector file = good;
                damage.Apply(file, l);
                Write("setup", file);
                const RunResult r = Qvx({"setup", "test", "setup"});
                EXPECT_EQ(r.Code, 1) << variant << damage.What;
                EXPECT_TRUE(r.Err.starts_with("qvx: setup: " + damage.Fault))
                    << variant << damage.What << ": " << r.Err;
                EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << variant << damage.What << ": " << r.Err;
            }
            // Cut short anywhere: on the boundaries of every part and at many points between.
            std::set<std::size_t> cuts = {0,
                                          1,
                                          700,
                                          715,
                                          l.Offset,
                                          l.Offset + 2,
                                          l.First,
                                          l.First + 20,
                                          l.Second - 4,
                                          l.Second - 1,
                                          l.Second,
                                          l.End - 1,
                                          l.End,
                                          (l.End + 7) / 8 * 8,
                                          good.size() - 1};
            for (std::size_t at = 0; at < good.size(); at += good.size() / 30 + 1) cuts.insert(at);
            for (const std::size_t at : cuts) {
                if (at >= good.size()) continue;
                Write("setup", ByteVector(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(at)));
                const RunResult r = Qvx({"setup", "test", "setup"});
                EXPECT_EQ(r.Code, 1) << variant << "cut at " << at << " of " << good.size();
                EXPECT_TRUE(r.Err.starts_with("qvx: setup: ")) << variant << "cut at " << at << ": " << r.Err;
            }
        }
    }
}

// setup build collects its data as create does: the same time clamp, code page and refusals.
TEST_F(SetupFileTest, ClampedBuildsAreTheSameInEveryTimeZoneAndNamesAreChecked) {
    Write("launcher", Launcher(true));
    Write("engine", Engine(true));
    Write("data/caf\xC3\xA9.txt", "coffee");
    const std::vector<std::string> build = {"setup",  "build", "-l",   "launcher", "-e",
                                            "engine", "-d",    "data", "-o",       "setup"};
    ASSERT_EQ(QvxWithEnvironment({"TZ=UTC", "SOURCE_DATE_EPOCH=1700000000"}, build).Code, 0);
    const std::string utc = Read("setup");
    ASSERT_EQ(QvxWithEnvironment({"TZ=Asia/Tokyo", "SOURCE_DATE_EPOCH=1700000000"}, build).Code, 0);
    EXPECT_EQ(Read("setup"), utc);
    const RunResult listed = Qvx({"list", "--block", "2", "setup", "caf\xC3\xA9.txt"});
    EXPECT_EQ(listed.Code, 0) << listed.Err;
    EXPECT_NE(listed.Out.find("2023-11-14  22:13:20"), std::string::npos) << listed.Out;

    std::filesystem::remove(Path("setup"));
    Write("data/sub/nul", "device");
    RunResult r = Qvx(build);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: data/sub/nul: cannot be archived as \"sub\\nul\" (reserved device name 'nul')\n");
    EXPECT_FALSE(Exists("setup"));
    std::filesystem::remove_all(Path("data/sub"));
    r = Qvx({"setup", "build", "--codepage", "866", "-l", "launcher", "-e", "engine", "-d", "data", "-o", "setup"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: data/caf\xC3\xA9.txt: name cannot be stored in code page 866\n");
}

TEST_F(SetupFileTest, TheBuiltFileIsExecutableAndReplacesTheOldOne) {
    Write("setup", "old");
    BuildSetupFile(false);
    struct stat st {};
    ASSERT_EQ(::stat(Path("setup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111u & (st.st_mode >> 2)) << std::oct << st.st_mode;  // x wherever r
    EXPECT_NE(st.st_mode & 0100, 0u);
    EXPECT_NE(Read("setup"), "old");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"data", "data/docs", "data/docs/manual.txt", "data/readme.txt",
                                                "engine", "launcher", "setup"}));
}

TEST_F(SetupFileTest, EveryDamagedPlainSetupFileFails) { ExpectEveryDamageFails(false, false); }
TEST_F(SetupFileTest, EveryDamagedWindowsSetupFileFails) { ExpectEveryDamageFails(true, false); }
TEST_F(SetupFileTest, EveryDamagedSignedSetupFileFails) { ExpectEveryDamageFails(true, true); }

TEST_F(SetupFileTest, NamesTheFaultOfAFileCutAtABlockBoundary) {
    const ByteVector good = BuildSetupFile(false);
    const Layout l = LayoutOf(good, Launcher(false).size());
    const struct {
        std::size_t at;
        std::string fault;
    } cases[] = {
        {500, "no size marker: not a setup file"},
        {1000, "the payload offset 1536 lies past the end of the file (1000 bytes)"},
        {l.Offset + 2, "payload damaged: the first length field is cut short"},
        {l.Second - 4, "payload damaged: the second block is missing"},
        {l.Second - 2, "payload damaged: the second length field is cut short"},
        {l.End - 1, "payload damaged: the second archive's length " + std::to_string(l.SecondLength) + " exceeds the " +
                        std::to_string(l.SecondLength - 1) + " bytes behind it"},
    };
    for (const auto& c : cases) {
        Write("setup", ByteVector(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(c.at)));
        EXPECT_EQ(Qvx({"setup", "test", "setup"}).Err, "qvx: setup: " + c.fault + "\n") << c.at;
    }
    ByteVector longer = good;
    longer.push_back(0);
    Write("setup", longer);
    EXPECT_EQ(Qvx({"setup", "test", "setup"}).Err, "qvx: setup: payload damaged: 1 byte follows the second archive\n");
    // An archive carried as it is, with a byte behind its last entry.
    auto archive = BuildArchive({StoredEntry("a.txt", "abc")});
    archive.push_back('x');
    Write("data.arc", archive);
    Write("engine", Engine(false));
    ASSERT_EQ(Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-a", "data.arc", "-o", "setup"}).Code, 0);
    const RunResult trailing = Qvx({"setup", "test", "setup"});
    EXPECT_EQ(trailing.Code, 0);  // neither the launcher nor the engine reads it
    EXPECT_EQ(trailing.Err, "qvx: setup: warning: archive 2: 1 byte follows its last entry\n");
    Write("launcher", Launcher(false));
    EXPECT_EQ(Qvx({"setup", "test", "launcher"}).Err,
              "qvx: launcher: no payload: the launcher's size marker was never patched\n");
}

// A payload offset whose first byte is "X" (an image of 0x658 bytes, unpadded): the launcher takes
// it for the placeholder. setup test and info name that instead of "never patched".
TEST_F(SetupFileTest, NamesAnOffsetTheLauncherTakesForThePlaceholder) {
    const ByteVector good = BuildSetupFile(false);
    ByteVector file = Launcher(false);
    file.resize(0x658, 0xCC);
    PutLe(file, 700 + 8, 0x658, 4);
    file.insert(file.end(), good.begin() + static_cast<std::ptrdiff_t>(LayoutOf(good, 1536).Offset), good.end());
    Write("setup", file);
    const std::string fault =
        "qvx: setup: the payload offset 1624 begins with the byte of the placeholder \"X\": the "
        "launcher takes it for never patched and never starts the engine (built by a tool that "
        "does not pad the launcher image)\n";
    for (const char* command : {"test", "info"}) {
        const RunResult r = Qvx({"setup", command, "setup"});
        EXPECT_EQ(r.Code, 1) << command;
        EXPECT_EQ(r.Err, fault) << command;
    }
}

// The builder pads the launcher image to 16 bytes, and refuses a setup file that would hold the
// size marker twice (a copy stored in the data).
TEST_F(SetupFileTest, BuildPadsTheImageAndRefusesASecondMarker) {
    ByteVector launcher = Launcher(false);
    launcher.resize(0x658, 0xCC);
    Write("launcher", launcher);
    Write("engine", Engine(false));
    ASSERT_EQ(Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-d", "data", "-o", "setup"}).Code, 0);
    const std::string built = Read("setup");
    EXPECT_EQ(U32(ByteVector(built.begin(), built.end()), 700 + 8), 0x660u);
    EXPECT_EQ(built.substr(0x658, 8), std::string(8, '\0'));
    EXPECT_EQ(Qvx({"setup", "test", "setup"}).Code, 0);

    Write("data/copy.bin", std::string("QVX_") + "SIZE");
    const RunResult r =
        Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-d", "data", "-m", "non", "-o", "again"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err,
              "qvx: again: the setup file would hold the size marker 2 times (the payload holds a copy of it)\n");
    EXPECT_FALSE(Exists("again"));
}

// What the launcher makes of the first archive: it expands the engine entry with the library's
// component and starts the engine only when that raises nothing and finds the entry.
bool LauncherRefuses(const ByteVector& file, const Layout& l) {
    const auto first = file.begin() + static_cast<std::ptrdiff_t>(l.First);
    TMemoryStream archive(ByteVector(first, first + static_cast<std::ptrdiff_t>(l.FirstLength)));
    TNullStream engine;
    int found = 0;
    try {
        WalkArchive(TQuorvexCompress{}, archive, [&](const ArchiveEntry& e) -> TStream* {
            if (!SameEntryName(e.Name, "Installer\\Quorvex.exe")) return nullptr;
            ++found;
            return &engine;
        });
    } catch (const Exception&) {
        return true;
    }
    return found == 0;
}

// setup test, qvx test and the launcher call the same first archives damaged: bit flips in every
// field of the engine entry and the header, stored (-m non) or compressed.
TEST_F(SetupFileTest, SetupTestQvxTestAndTheLauncherAgreeOnTheFirstArchive) {
    const auto flip = [](std::size_t offset, std::uint8_t bits) {
        return [offset, bits](ByteVector& b, const Layout& l) { b[l.First + offset] ^= bits; };
    };
    const auto add = [](std::size_t offset, std::int32_t delta) {
        return [offset, delta](ByteVector& b, const Layout& l) {
            PutLe(b, l.First + offset, U32(b, l.First + offset) + static_cast<std::uint32_t>(delta), 4);
        };
    };
    constexpr std::size_t kEntry = 21;  // the engine entry's header
    const struct {
        const char* What;
        std::function<void(ByteVector&, const Layout&)> Apply;
        bool Damaged;
    } cases[] = {
        {"nothing", [](ByteVector&, const Layout&) {}, false},
        {"a data byte", [](ByteVector& b, const Layout& l) { b[l.First + l.FirstLength / 2] ^= 0x10; }, true},
        {"total size + 1", add(8, 1), true},
        {"total size - 1", add(8, -1), true},
        {"total size negative", flip(11, 0x80), true},
        {"expanded size + 1", add(kEntry + 8, 1), true},
        {"expanded size - 1", add(kEntry + 8, -1), true},
        {"expanded size x 2^20", flip(kEntry + 10, 0x10), true},
        {"stored size - 1", add(kEntry + 12, -1), true},
        {"stored size + 1", add(kEntry + 12, 1), true},
        {"method byte", flip(kEntry + 16, 0x04), true},  // NON <-> LH5
        {"method 200", [](ByteVector& b, const Layout& l) { b[l.First + kEntry + 16] = 200; }, true},
        {"checksum", flip(kEntry + 17, 0x01), true},
        {"engine name", flip(kEntry + 25 + 3, 0x01), true},
        {"header reserved field", flip(15, 0x01), false},
        {"entry reserved field", flip(kEntry + 21, 0x01), false},
    };
    for (const char* method : {"lh5", "non"}) {
        Write("launcher", Launcher(false));
        Write("engine", Engine(false));
        ASSERT_EQ(
            Qvx({"setup", "build", "-m", method, "-l", "launcher", "-e", "engine", "-d", "data", "-o", "good"}).Code,
            0);
        const std::string built = Read("good");
        const ByteVector good(built.begin(), built.end());
        const Layout l = LayoutOf(good, Launcher(false).size());
        for (const auto& c : cases) {
            ByteVector file = good;
            c.Apply(file, l);
            Write("setup", file);
            const RunResult setupTest = Qvx({"setup", "test", "setup"});
            const RunResult qvxTest = Qvx({"test", "setup"});
            EXPECT_EQ(setupTest.Code, c.Damaged ? 1 : 0) << method << ": " << c.What << ": " << setupTest.Err;
            EXPECT_EQ(qvxTest.Code, setupTest.Code) << method << ": " << c.What << ": " << qvxTest.Err;
            EXPECT_EQ(LauncherRefuses(file, l), c.Damaged) << method << ": " << c.What;
        }
    }
}

// setup build refuses a data archive holding a name extract would refuse, and setup test finds one
// in a file built otherwise (here the name's bytes changed after the build).
TEST_F(SetupFileTest, DataNamesFollowExtractsRules) {
    const struct {
        std::string Safe;
        std::string Unsafe;
        std::string Reason;
    } cases[] = {
        {"aa\\bb\\x", "..\\..\\x", "'..' component"},
        {"Cw\\w\\x", "C:\\w\\x", "drive letter or ':' in name"},
        {"CAN", "CON", "reserved device name 'CON'"},
        {"ok.txt", "ok.tx ", "name ends in a space"},
    };
    Write("launcher", Launcher(false));
    Write("engine", Engine(false));
    for (const auto& c : cases) {
        std::filesystem::remove(Path("setup"));
        Write("data.arc", BuildArchive({StoredEntry("first.txt", "1"), StoredEntry(c.Unsafe, "x")}));
        RunResult r = Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-a", "data.arc", "-o", "setup"});
        EXPECT_EQ(r.Code, 1) << c.Unsafe;
        EXPECT_EQ(r.Err, "qvx: data.arc: " + c.Unsafe + ": refused unsafe entry name (" + c.Reason + ")\n");
        EXPECT_FALSE(Exists("setup"));

        Write("data.arc", BuildArchive({StoredEntry("first.txt", "1"), StoredEntry(c.Safe, "x")}));
        ASSERT_EQ(Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-a", "data.arc", "-o", "setup"}).Code, 0);
        std::string file = Read("setup");
        const auto at = file.rfind(c.Safe);
        ASSERT_NE(at, std::string::npos);
        file.replace(at, c.Safe.size(), c.Unsafe);
        Write("setup", file);
        r = Qvx({"setup", "test", "setup"});
        EXPECT_EQ(r.Code, 1) << c.Unsafe;
        EXPECT_EQ(r.Err, "qvx: setup: archive 2: " + c.Unsafe + ": unsafe entry name (" + c.Reason + ")\n");
    }
}

TEST_F(SetupFileTest, StoredEntriesAreCheckedUnlessTheirChecksumWasNotRecorded) {
    // The format leaves a stored entry's checksum to the writer: 0 means none was recorded.
    struct Case {
        std::uint32_t Checksum;
        int Code;
    } cases[] = {{0, 0}, {'a' + 'b' + 'c', 0}, {12345, 1}};
    Write("launcher", Launcher(false));
    Write("engine", Engine(false));
    for (const Case& c : cases) {
        RawEntry e = StoredEntry("abc.txt", "abc");
        e.Checksum = c.Checksum;
        Write("data.arc", BuildArchive({e}));
        ASSERT_EQ(Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-a", "data.arc", "-o", "setup"}).Code, 0);
        EXPECT_EQ(Qvx({"setup", "test", "setup"}).Code, c.Code) << c.Checksum;
    }
}

TEST_F(SetupFileTest, BuildNamesTheFileItCannotRead) {
    Write("launcher", Launcher(false));
    const RunResult r = Qvx({"setup", "build", "-l", "launcher", "-e", "missing", "-d", "data", "-o", "setup"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: missing: No such file or directory\n");
}

TEST_F(SetupFileTest, WarnsOfBytesBehindTheCertificateTable) {
    ByteVector file = Sign(BuildSetupFile(true));
    file.insert(file.end(), {'t', 'a', 'i', 'l'});
    Write("setup", file);
    RunResult r = Qvx({"setup", "test", "setup"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.substr(0, r.Err.find('\n') + 1), "qvx: setup: warning: 4 bytes follow the certificate table\n");
    EXPECT_NE(r.Err.find("\nqvx: setup: the PE header's checksum"), std::string::npos) << r.Err;
    SetChecksum(file);
    Write("setup", file);
    r = Qvx({"setup", "test", "setup"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Err, "qvx: setup: warning: 4 bytes follow the certificate table\n");
}

TEST_F(SetupFileTest, BuildSetsTheChecksumOfAWindowsSetupFileAndWritesToStandardOutput) {
    const ByteVector file = BuildSetupFile(true);
    TMemoryStream stream(file);
    EXPECT_NE(U32(file, ChecksumFieldAt()), 0u);
    EXPECT_EQ(U32(file, ChecksumFieldAt()), pe::PeChecksum(stream, static_cast<std::uint32_t>(ChecksumFieldAt())));
    const RunResult r = Qvx({"setup", "build", "-l", "launcher", "-e", "engine", "-d", "data", "-o", "-"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, Bytes(file));
    EXPECT_FALSE(Exists("-"));
    // A builder that leaves the launcher's own checksum: accepted with a warning.
    ByteVector old = file;
    TMemoryStream imageStream(
        ByteVector(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(Launcher(true).size())));
    PutLe(old, ChecksumFieldAt(), pe::PeChecksum(imageStream, static_cast<std::uint32_t>(ChecksumFieldAt())), 4);
    Write("old", old);
    const RunResult test = Qvx({"setup", "test", "old"});
    EXPECT_EQ(test.Code, 0);
    EXPECT_EQ(test.Err,
              "qvx: old: warning: the PE header's checksum covers the launcher image only, not the payload\n");
}

TEST_F(SetupFileTest, BuildRefusesAnEngineThatDoesNotSuitTheLauncherUnlessForced) {
    const struct {
        bool windowsLauncher;
        ByteVector engine;
        std::string fault;
    } cases[] = {
        {true, Engine(false), "the engine is not a Windows program, the launcher is one (x86-64)"},
        {true, Engine(true, 0xAA64), "the engine is built for ARM64, the launcher for x86-64"},
        {true, FromText("MZ, and no more"),
         "the engine is not a Windows program (the DOS header is cut short), the launcher is one (x86-64)"},
        {false, Engine(true), "the engine is a Windows program, the launcher is not"},
    };
    for (const auto& c : cases) {
        Write("launcher", Launcher(c.windowsLauncher));
        Write("engine", c.engine);
        const std::vector<std::string> args = {"setup", "build", "-l", "launcher", "-e", "engine", "-o", "out"};
        RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, 1) << c.fault;
        EXPECT_EQ(r.Err, "qvx: engine: " + c.fault + " (--force builds anyway)\n");
        EXPECT_FALSE(Exists("out"));
        auto forced = args;
        forced.push_back("--force");
        r = Qvx(forced);
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_EQ(r.Err, "qvx: engine: warning: " + c.fault + "; building anyway\n");
        EXPECT_EQ(Qvx({"setup", "test", "out"}).Code, 0);
        std::filesystem::remove(Path("out"));
    }
    EXPECT_EQ(Qvx({"setup", "build", "-l", "launcher", "-e", "-", "-o", "out"}).Err,
              "qvx: -: setup build reads its inputs from files, not from standard input\n");
}

TEST_F(SetupFileTest, ReadingCommandsReadEitherBlockOfASetupFile) {
    BuildSetupFile(true);
    Write("plain.arc", BuildArchive({StoredEntry("a.txt", "abc")}));
    RunResult r = Qvx({"list", "setup"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Installer\\Quorvex.exe"), std::string::npos);
    EXPECT_EQ(r.Out.find("readme.txt"), std::string::npos);
    r = Qvx({"list", "--block", "2", "setup"});
    EXPECT_NE(r.Out.find("docs\\manual.txt"), std::string::npos);
    EXPECT_EQ(Qvx({"test", "--block", "1", "setup"}).Code, 0);
    EXPECT_EQ(Qvx({"cat", "setup", "installer\\quorvex.exe"}).Out, Read("engine"));
    EXPECT_EQ(Qvx({"cat", "--block", "2", "setup", "readme.txt"}).Out, "read me\n");
    EXPECT_EQ(Qvx({"extract", "--block", "2", "-C", "out", "setup"}).Code, 0);
    EXPECT_EQ(Read("out/docs/manual.txt"), Read("data/docs/manual.txt"));
    // Standard input: a redirected file is read in place, a pipe forward as it comes.
    EXPECT_EQ(Qvx({"cat", "--block", "2", "-", "readme.txt"}, "setup").Out, "read me\n");
    r = Pipe("cat setup", "cat --block 2 - readme.txt");
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "read me\n");
    EXPECT_EQ(Pipe("cat plain.arc", "cat - a.txt").Out, "abc");
    EXPECT_EQ(Pipe("cat setup", "setup test -").Code, 0);
    // From a pipe, of either kind of launcher, every reading command gives what it gives for the
    // file: the blocks are reached by reading forward.
    for (const bool windows : {true, false}) {
        BuildSetupFile(windows);
        for (const std::string args : {"list", "list --block 2", "test --block 2", "cat --block 2 @ docs/manual.txt",
                                       "setup info", "setup test"}) {
            std::string file = args + " setup";
            std::string pipe = args + " -";
            if (const auto at = args.find('@'); at != std::string::npos) {
                file = std::string(args).replace(at, 1, "setup");
                pipe = std::string(args).replace(at, 1, "-");
            }
            std::istringstream words(file);
            const RunResult expected = Qvx({std::istream_iterator<std::string>(words), {}});
            r = Pipe("cat setup", pipe);
            EXPECT_EQ(r.Code, 0) << pipe << r.Err;
            EXPECT_EQ(r.Out, expected.Out) << pipe;
        }
    }
    // Standard output on a full device: the setup commands say so and fail.
    for (const std::string args : {"setup info setup", "setup test setup"}) {
        const std::string command =
            "cd '" + dir_.string() + "' && '" + QVX_BINARY + "' " + args + " >/dev/full 2>full.err";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1) << args;
        EXPECT_EQ(Read("full.err"), "qvx: standard output: No space left on device\n") << args;
    }
    EXPECT_EQ(Qvx({"list", "--block", "2", "plain.arc"}).Err,
              "qvx: plain.arc: not a setup file (--block reads a setup file's blocks)\n");
    EXPECT_EQ(Qvx({"list", "--block", "3", "setup"}).Code, 2);
}

TEST_F(SetupFileTest, ReadingCommandsReportADamagedSetupFileAsADamagedArchive) {
    ByteVector file = BuildSetupFile(false);
    const Layout l = LayoutOf(file, Launcher(false).size());
    file[l.First] ^= 0x20;
    Write("setup", file);
    Write("plain.arc", ByteVector(file.begin() + static_cast<std::ptrdiff_t>(l.First),
                                  file.begin() + static_cast<std::ptrdiff_t>(l.First + l.FirstLength)));
    // A file that starts like neither an archive nor a program is "not an archive" to every
    // command; in a block, test says the same and the others give the library's message.
    for (const std::string command : {"list", "test", "extract"}) {
        const std::string message = command == "test" ? "not an archive" : "Can't recognize compressed file header";
        const RunResult setup = Qvx({command, "setup"});
        EXPECT_EQ(setup.Code, 1) << command;
        EXPECT_EQ(setup.Err, "qvx: setup: " + message + "\n") << command;
        EXPECT_EQ(Qvx({command, "plain.arc"}).Err, "qvx: plain.arc: not an archive\n") << command;
    }
    // The first block can still be read when only the second is cut short.
    file[l.First] ^= 0x20;
    file.resize(l.End - 10);
    Write("setup", file);
    EXPECT_EQ(Qvx({"test", "setup"}).Code, 0);
    EXPECT_TRUE(Qvx({"list", "--block", "2", "setup"})
                    .Err.starts_with("qvx: setup: payload damaged: the second archive's length"));
    Write("launcher", Launcher(false));
    EXPECT_EQ(Qvx({"list", "launcher"}).Err,
              "qvx: launcher: no payload: the launcher's size marker was never patched\n");
}

}  // namespace
}  // namespace qvx::cli::test
