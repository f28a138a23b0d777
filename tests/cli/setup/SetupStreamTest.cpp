// A setup file read forward: either block is found by reading past what lies before it, and every
// fault in front of the block is named as the file reader names it.
#include <gtest/gtest.h>

#include <functional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "CliTestSupport.h"
#include "setup/ElfTestFiles.h"
#include "setup/SetupFile.h"
#include "setup/SetupStream.h"

namespace qvx::cli::test {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

constexpr std::size_t kImage = 1536;
constexpr std::size_t kMarkerAt = 700;

void PutU32(Bytes8& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

// An ELF launcher image of kImage bytes with its marker patched, then both blocks.
Bytes8 SetupBytes() {
    Bytes8 file = ElfHeaderBytes(kImage);
    file.resize(kImage, 0);
    const std::string marker = std::string("QVX_") + "SIZE";
    std::copy(marker.begin(), marker.end(), file.begin() + kMarkerAt);
    PutU32(file, kMarkerAt + 8, kImage);
    for (const auto& archive : {BuildArchive({StoredEntry("Installer\\Quorvex.exe", "engine")}),
                                BuildArchive({StoredEntry("a.txt", "data"), StoredEntry("b.txt", "more")})}) {
        file.resize(file.size() + 4);
        PutU32(file, file.size() - 4, static_cast<std::uint32_t>(archive.size()));
        file.insert(file.end(), archive.begin(), archive.end());
    }
    return file;
}

std::vector<std::string> Names(TStream& archive) {
    std::vector<std::string> names;
    TQuorvexCompress component;
    WalkArchive(component, archive, [&](const ArchiveEntry& e) -> TStream* {
        names.push_back(e.Name);
        return nullptr;
    });
    return names;
}

TForwardStream Forward(const Bytes8& bytes) { return TForwardStream(std::make_unique<TMemoryStream>(bytes), "in"); }

TEST(SetupStream, EitherBlockReadForward) {
    const Bytes8 bytes = SetupBytes();
    TForwardStream first = Forward(bytes);
    auto block = setup::OpenStreamedPayloadBlock(first, 1, "in");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Names(*block), std::vector<std::string>{"Installer\\Quorvex.exe"});
    TForwardStream second = Forward(bytes);
    block = setup::OpenStreamedPayloadBlock(second, 2, "in");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Names(*block), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(second.AtEnd());
}

TEST(SetupStream, FaultsInFrontOfTheBlock) {
    using Edit = std::function<void(Bytes8&)>;
    const std::size_t second = kImage + 4 + SetupBytes().at(kImage);  // the second length field
    const struct {
        const char* What;
        Edit Change;
        int Block;
        const char* Fault;  // empty: no setup file (nullptr)
    } cases[] = {
        {"marker past the image", [](Bytes8& b) { PutU32(b, 64 + 32, kMarkerAt); }, 1, ""},
        {"not patched", [](Bytes8& b) { b[kMarkerAt + 8] = 'X'; }, 1,
         "no payload: the launcher's size marker was never patched"},
        {"offset 0", [](Bytes8& b) { PutU32(b, kMarkerAt + 8, 0); }, 1, "the payload offset is 0"},
        {"negative offset", [](Bytes8& b) { PutU32(b, kMarkerAt + 8, 0x80000000); }, 1,
         "the payload offset -2147483648 is negative"},
        {"offset inside the image", [](Bytes8& b) { PutU32(b, kMarkerAt + 8, 300); }, 1,
         "the payload offset 300 lies inside the launcher image, before the end of its size marker at 712"},
        {"offset past the end", [](Bytes8& b) { PutU32(b, kMarkerAt + 8, 90000); }, 1, ""},
        {"first length cut", [](Bytes8& b) { b.resize(kImage + 2); }, 1,
         "payload damaged: the first length field is cut short"},
        {"first length negative", [](Bytes8& b) { PutU32(b, kImage, 0x80000001); }, 1,
         "payload damaged: the first archive's length 2147483649 is negative"},
        {"first archive past the end", [](Bytes8& b) { PutU32(b, kImage, 5000); }, 2, ""},
        {"second block missing", [second](Bytes8& b) { b.resize(second); }, 2,
         "payload damaged: the second block is missing"},
        {"second length cut", [second](Bytes8& b) { b.resize(second + 3); }, 2,
         "payload damaged: the second length field is cut short"},
    };
    for (const auto& c : cases) {
        Bytes8 bytes = SetupBytes();
        c.Change(bytes);
        TForwardStream in = Forward(bytes);
        std::string fault = "(none)";
        try {
            if (setup::OpenStreamedPayloadBlock(in, c.Block, "in") == nullptr) fault.clear();
        } catch (const platform::FileError& e) {
            EXPECT_EQ(e.File(), "in");
            fault = e.what();
        }
        if (std::string(c.What) == "offset past the end")
            EXPECT_EQ(fault, "the payload offset 90000 lies past the end of the file (" + std::to_string(bytes.size()) +
                                 " bytes)");
        else if (std::string(c.What) == "first archive past the end")
            EXPECT_EQ(fault, "payload damaged: the first archive's length 5000 exceeds the " +
                                 std::to_string(bytes.size() - kImage - 4) + " bytes behind it");
        else
            EXPECT_EQ(fault, c.Fault) << c.What;
    }
}

}  // namespace
}  // namespace qvx::cli::test
