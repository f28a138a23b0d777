// Damaged archives as a hostile user makes them: test, extract and list refuse each damage with
// its own fault and exit 1; extract writes no file for a damaged entry and still extracts the
// others.
#include <filesystem>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

void Put32(ByteVector& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

RawEntry Entry(std::string name, CompressMethod method, ByteVector stored, std::int32_t expandedSize,
               std::uint32_t checksum) {
    RawEntry e;
    e.Name = std::move(name);
    e.Method = method;
    e.Stored = std::move(stored);
    e.ExpandedSize = expandedSize;
    e.Checksum = checksum;
    return e;
}

ByteVector WithTotal(ByteVector archive, std::int32_t total) {
    Put32(archive, 8, static_cast<std::uint32_t>(total));
    return archive;
}

ByteVector Cut(ByteVector archive, std::size_t bytes) {
    archive.resize(archive.size() - bytes);
    return archive;
}

// An LH5 stream of a literal 'A' and a match of 3: "AAAA".
const ByteVector kFourA = {0x00, 0x02, 0x20, 0x04, 0x30, 0x10, 0xB6, 0x55, 0x40, 0x10};

struct DamageCase {
    const char* What;
    ByteVector Archive;
    std::string Fault;                   // as reported after "qvx: f: ", behind the entry's name for an entry's fault
    bool OfTheEntry;                     // the entry "e" is damaged; the others are whole
    std::vector<std::string> Extracted;  // what extract leaves below out/
};

std::vector<DamageCase> Damages() {
    const RawEntry a = StoredEntry("a", "first");
    const RawEntry z = StoredEntry("z", "last");
    RawEntry flipped = StoredEntry("e", "payload");
    flipped.Stored[2] ^= 0x04;
    RawEntry claims = StoredEntry("e", "sixsix");
    claims.ExpandedSize = 0x7FFFFFFF;
    ByteVector pastEnd = BuildArchive({a, StoredEntry("e", "payload")});
    Put32(pastEnd, 21 + 25 + 1 + 5 + 12, 0x7FFFFFFF);  // e's stored size
    return {
        {"a bit flipped in a stored entry",
         BuildArchive({a, flipped, z}),
         "Bad checksum during expansion -- data may be invalid (stored entry; --skip-stored-checksums skips this "
         "check)",
         true,
         {"out/a", "out/z"}},
        {"a stored entry claiming 2 GB",
         BuildArchive({claims}),
         "stored entry of 6 bytes claims an expanded size of 2147483647",
         true,
         {}},
        {"no LH5 bytes for 2 GB, checksum 0",
         BuildArchive({Entry("e", cmLH5, {}, 0x7FFFFFFF, 0)}, "LH5"),
         "compressed data ends before the entry is complete",
         true,
         {}},
        {"no RLE bytes for 100 MB",
         BuildArchive({a, Entry("e", cmRLE, {}, 100000000, 0), z}, "RLE"),
         "compressed data ends before the entry is complete",
         true,
         {"out/a", "out/z"}},
        {"LH5 bytes cut",
         BuildArchive({a, Entry("e", cmLH5, ByteVector(kFourA.begin(), kFourA.end() - 4), 4, 4 * 'A'), z}, "LH5"),
         "compressed data ends before the entry is complete",
         true,
         {"out/a", "out/z"}},
        {"a last match past the size",
         BuildArchive({a, Entry("e", cmLH5, kFourA, 2, 2 * 'A'), z}, "LH5"),
         "compressed data expands past the entry's size",
         true,
         {"out/a", "out/z"}},
        {"an unknown method",
         BuildArchive({a, Entry("e", CompressMethod{200}, {1, 2, 3}, 3, 6), z}),
         "unknown compression method 200",
         true,
         {"out/a", "out/z"}},
        {"stored bytes cut",
         Cut(BuildArchive({a, StoredEntry("e", "payload")}), 3),
         "stored bytes run past the end of the archive: stored size 7, 4 bytes left",
         false,
         {"out/a"}},
        {"a stored size of 2 GB",
         pastEnd,
         "stored bytes run past the end of the archive: stored size 2147483647, 7 bytes left",
         false,
         {"out/a"}},
        {"total size -1",
         WithTotal(BuildArchive({a, z}), -1),
         "negative total size -1 in the archive header",
         false,
         {}},
        {"total size 0",
         WithTotal(BuildArchive({a, z}), 0),
         "the header's total size 0 leaves out a further entry of 5 bytes",
         false,
         {}},
        {"total size short of the entries",
         WithTotal(BuildArchive({a, z}), 5),
         "the header's total size 5 leaves out a further entry of 4 bytes",
         false,
         {"out/a"}},
        {"cut between entries",
         Cut(BuildArchive({a, z}), 10),
         "archive is truncated: its entries hold 5 of 9 bytes",
         false,
         {"out/a"}},
    };
}

TEST_F(CliTest, EveryDamageIsNamedAndLeavesNoFile) {
    for (const DamageCase& c : Damages()) {
        std::filesystem::remove_all(Path("out"));
        Write("f", c.Archive);
        const std::string line = "qvx: f: " + std::string(c.OfTheEntry ? "e: " : "") + c.Fault + "\n";
        const RunResult test = Qvx({"test", "f"});
        EXPECT_EQ(test.Code, 1) << c.What;
        EXPECT_EQ(test.Err, line) << c.What;
        const RunResult extract = Qvx({"extract", "-C", "out", "f"});
        EXPECT_EQ(extract.Code, 1) << c.What;
        EXPECT_EQ(extract.Err, line) << c.What;
        // No file for the damaged entry, nor a temporary one; the others are extracted.
        EXPECT_EQ(Exists("out") ? Tree("out") : std::vector<std::string>{}, c.Extracted) << c.What;
        // list reads no entry's data: only the walk's faults concern it.
        const RunResult list = Qvx({"list", "f"});
        EXPECT_EQ(list.Code, c.OfTheEntry ? 0 : 1) << c.What;
        EXPECT_EQ(list.Err, c.OfTheEntry ? std::string() : line) << c.What;
        EXPECT_EQ(Qvx({"cat", "f", "*"}).Code, 1) << c.What;
    }
}

// Read forward from a pipe, every damage is refused as in the file, with the same fault; only a
// pipe cannot tell how many bytes were left when stored bytes run past its end.
TEST_F(CliTest, EveryDamageIsNamedFromAPipeToo) {
    for (const DamageCase& c : Damages()) {
        Write("f", c.Archive);
        std::string fault = c.Fault;
        if (const auto colon = fault.find(": stored size "); fault.starts_with("stored bytes run past"))
            fault.resize(colon);
        const std::string line = "qvx: -: " + std::string(c.OfTheEntry ? "e: " : "") + fault + "\n";
        // A stored entry claiming 2 GB of stored bytes is also refused for its sizes before a pipe
        // can know they run past its end: that fault comes first.
        const std::string before = c.What == std::string("a stored size of 2 GB")
                                       ? "qvx: -: e: stored entry of 2147483647 bytes claims an expanded size of 7\n"
                                       : "";
        const RunResult test = Sh("cat f | \"$QVX\" test -");
        EXPECT_EQ(test.Code, 1) << c.What;
        EXPECT_EQ(test.Err, before + line) << c.What;
        const RunResult extract = Sh("rm -rf out; cat f | \"$QVX\" extract -C out -");
        EXPECT_EQ(extract.Code, 1) << c.What;
        EXPECT_EQ(extract.Err, before + line) << c.What;
        EXPECT_EQ(Exists("out") ? Tree("out") : std::vector<std::string>{}, c.Extracted) << c.What;
    }
}

TEST_F(CliTest, StoredChecksumsCanBeSkippedForOtherWriters) {
    RawEntry flipped = StoredEntry("e", "payload");
    flipped.Stored[2] ^= 0x04;
    RawEntry unrecorded = StoredEntry("n", "none");
    unrecorded.Checksum = 0;  // a writer that records no sum: never a fault
    Write("f", BuildArchive({flipped, unrecorded}));
    EXPECT_EQ(Qvx({"test", "f", "n"}).Code, 0);
    EXPECT_EQ(Qvx({"test", "--skip-stored-checksums", "f"}).Code, 0);
    EXPECT_EQ(Qvx({"extract", "--skip-stored-checksums", "-C", "out", "f"}).Code, 0);
    EXPECT_EQ(Read("out/e"), "pa" + std::string(1, 'y' ^ 0x04) + "load");
    EXPECT_EQ(Qvx({"cat", "--skip-stored-checksums", "f", "e"}).Code, 0);
}

TEST_F(CliTest, CustomMethodEntriesAreNotVerifiedRatherThanDamaged) {
    Write("f", BuildArchive({StoredEntry("a", "first"), Entry("e", cmCUS, {1, 2, 3}, 3, 0), StoredEntry("z", "last")},
                            "CUS"));
    const RunResult test = Qvx({"test", "f"});
    EXPECT_EQ(test.Code, 1);
    EXPECT_EQ(test.Out, "OK      a\nSKIPPED e\nOK      z\n1 of 3 entries not verified (custom method)\n");
    EXPECT_EQ(test.Err, "qvx: f: e: entry uses a custom method that qvx cannot verify\n");
    const RunResult extract = Qvx({"extract", "-C", "out", "f"});
    EXPECT_EQ(extract.Code, 1);
    EXPECT_EQ(extract.Err, "qvx: f: e: entry uses a custom method that qvx cannot expand\n");
    EXPECT_EQ(Tree("out"), (std::vector<std::string>{"out/a", "out/z"}));
    // A header naming a custom method: list needs no codec and lists it; the readers that expand
    // refuse it as the launcher does.
    Write("x", BuildArchive({StoredEntry("a", "first")}, "XYZ"));
    const RunResult list = Qvx({"list", "x"});
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_NE(list.Out.find("a"), std::string::npos);
    EXPECT_EQ(Qvx({"test", "x"}).Err, "qvx: x: Unrecognized compression method: \"XYZ\" in header\n");
}

}  // namespace
}  // namespace qvx::cli::test
