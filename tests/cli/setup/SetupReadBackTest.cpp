// setup build's guards around the launcher image: the padding that keeps the payload offset's
// first byte from ever being the placeholder's "X", over every low byte of the image's size, and
// the read-back that refuses a setup file the launcher would not start.
#include <gtest/gtest.h>

#include <algorithm>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/MemoryStream.h>

#include "CliTestSupport.h"
#include "PayloadLocator.h"
#include "setup/SetupBuilder.h"
#include "SizeMarker.h"

namespace qvx::cli::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

void PutU32(ByteVector& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// A launcher image of size bytes with the unpatched marker at offset 100.
std::vector<char> LauncherImage(std::size_t size) {
    std::vector<char> image(size, '\x90');
    const auto pattern = launcher::MarkerPattern();
    std::copy(pattern.begin(), pattern.end(), image.begin() + 100);
    std::fill_n(image.begin() + 108, 4, launcher::kPlaceholderByte);
    return image;
}

// An archive of the given method holding one entry.
ByteVector Archive(CompressMethod method, const std::string& name, const std::string& data) {
    TMemoryStream out;
    ArchiveWriter writer(out, method);
    TMemoryStream source(ByteVector(data.begin(), data.end()));
    EntryInfo info;
    info.Name = name;
    writer.AddEntry(info, source, static_cast<std::int64_t>(data.size()));
    writer.Finish();
    return out.TakeData();
}

// The patched, padded image with the framed first archive behind it, as setup build lays it out.
ByteVector SetupFile(std::vector<char> image, const ByteVector& first) {
    setup::PadLauncherImage(image);
    ByteVector file(image.begin(), image.end());
    PutU32(file, 108, static_cast<std::uint32_t>(file.size()));
    file.resize(file.size() + 4);
    PutU32(file, file.size() - 4, static_cast<std::uint32_t>(first.size()));
    file.insert(file.end(), first.begin(), first.end());
    return file;
}

const std::string kEngine = PseudoRandomText(3000, 5);

TEST(SetupReadBackTest, EveryLauncherSizeGivesAPayloadTheLauncherFinds) {
    const ByteVector first = Archive(cmLH5, "Installer\\Quorvex.exe", kEngine);
    for (std::size_t extra = 0; extra < 256; ++extra) {
        const std::size_t size = 0x700 + extra;  // every low byte, 0x58 among them
        std::vector<char> image = LauncherImage(size);
        setup::PadLauncherImage(image);
        ASSERT_EQ(image.size() % 16, 0u);
        ASSERT_LT(image.size() - size, 16u);
        ASSERT_TRUE(
            std::all_of(image.begin() + static_cast<std::ptrdiff_t>(size), image.end(), [](char c) { return c == 0; }));
        const ByteVector file = SetupFile(LauncherImage(size), first);
        ASSERT_NE(file[108], 'X') << size;
        TMemoryStream stream(file);
        EXPECT_EQ(launcher::PayloadLocator(stream), static_cast<std::int32_t>(image.size())) << size;
        EXPECT_NO_THROW(setup::ReadBackAsLauncher(stream, static_cast<std::int32_t>(image.size()), "out")) << size;
    }
}

TEST(SetupReadBackTest, FilesTheLauncherWouldNotStartAreRefused) {
    const ByteVector good = SetupFile(LauncherImage(1000), Archive(cmLH5, "Installer\\Quorvex.exe", kEngine));
    constexpr std::int32_t offset = 1008;
    struct Case {
        std::string What;
        ByteVector File;
        std::string Message;  // its beginning
    };
    std::vector<Case> cases;
    const auto damaged = [&](std::string what, auto change, std::string message) {
        ByteVector file = good;
        change(file);
        cases.push_back({std::move(what), std::move(file), std::move(message)});
    };
    damaged(
        "a second marker in the payload",
        [](ByteVector& f) {
            const auto pattern = launcher::MarkerPattern();
            f.insert(f.end(), pattern.begin(), pattern.end());
        },
        "the setup file would hold the size marker 2 times (the payload holds a copy of it)");
    damaged(
        "another offset patched in", [](ByteVector& f) { PutU32(f, 108, offset + 4); },
        "the launcher would find the payload offset 1012, not 1008");
    damaged(
        "the placeholder left", [](ByteVector& f) { std::fill_n(f.begin() + 108, 4, 'X'); },
        "the launcher would find the payload offset 0, not 1008");
    damaged(
        "a length past the end", [](ByteVector& f) { PutU32(f, offset, static_cast<std::uint32_t>(f.size())); },
        "the launcher would find no first archive behind the payload offset 1008");
    damaged(
        "a negative length", [](ByteVector& f) { PutU32(f, offset, 0x80000000u); },
        "the launcher would find no first archive behind the payload offset 1008");
    damaged(
        "compressed engine damaged",
        [](ByteVector& f) {
            for (std::size_t i = 0; i < 8; ++i) f[f.size() - 200 + i] ^= 0x5A;
        },
        "the launcher could not start the engine: ");
    cases.push_back(
        {"no engine entry", SetupFile(LauncherImage(1000), Archive(cmLH5, "Installer\\Other.exe", kEngine)),
         "the launcher could not start the engine: The setup archive holds no entry Installer\\Quorvex.exe"});
    ByteVector undefined =
        SetupFile(LauncherImage(1000), Archive(cmNON, "Installer\\Quorvex.exe", std::string(5, '\0')));
    undefined[offset + 4 + 21 + 16] = 9;  // an undefined method writes nothing; a sum of 0 matches
    cases.push_back({"an engine that expands to nothing", undefined, "the launcher could not start the engine: "});

    TMemoryStream stream(good);
    EXPECT_NO_THROW(setup::ReadBackAsLauncher(stream, offset, "out"));
    for (const Case& c : cases) {
        TMemoryStream file(c.File);
        try {
            setup::ReadBackAsLauncher(file, offset, "out");
            ADD_FAILURE() << c.What << ": accepted";
        } catch (const platform::FileError& e) {
            EXPECT_EQ(e.File(), "out");
            EXPECT_TRUE(std::string(e.what()).starts_with(c.Message)) << c.What << ": " << e.what();
        }
    }
}

}  // namespace
}  // namespace qvx::cli::test
