#include <gtest/gtest.h>

#include <thread>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/FileStream.h>
#include <instcompress/QuorvexCompress.h>

#include "TestSupport.h"

namespace qvx::test {
namespace {

class ComponentTest : public ::testing::Test {
protected:
    // Writes the archive to a file and expands the named entries into a memory stream.
    Bytes ExpandByName(const Bytes& archive, const std::string& name) {
        const std::string path = dir.Write("a.qvx", archive);
        TMemoryStream out;
        component.ExpandEntryByName(path, out, name);
        return out.Data();
    }

    TempDir dir;
    TQuorvexCompress component;
};

// Header validation.

TEST_F(ComponentTest, HeaderFaultsInOrderMagicTypeMethod) {
    Bytes bad = HeaderBytes("ZZZ", 0, 9, std::string_view("SPIS\x1B", 5));
    EXPECT_EQ(MessageOf<EInvalidHeader>([&] { ExpandByName(bad, "x"); }), "Can't recognize compressed file header");
    bad = HeaderBytes("ZZZ", 0, 9);
    EXPECT_EQ(MessageOf<EInvalidHeaderArchiveType>([&] { ExpandByName(bad, "x"); }), "Archive type must be caMulti");
    bad = HeaderBytes("ZZZ", 0, 1);
    EXPECT_EQ(MessageOf<EUnrecognizedCompressionMethod>([&] { ExpandByName(bad, "x"); }),
              "Unrecognized compression method: \"ZZZ\" in header");
    // Identifiers compare case-sensitively.
    bad = HeaderBytes("lh5", 0, 1);
    EXPECT_EQ(MessageOf<EUnrecognizedCompressionMethod>([&] { ExpandByName(bad, "x"); }),
              "Unrecognized compression method: \"lh5\" in header");
}

TEST_F(ComponentTest, EveryTableIdentifierIsAccepted) {
    for (auto id : MethodIds) EXPECT_NO_THROW(ExpandByName(HeaderBytes(id, 0), "x")) << id;
}

TEST_F(ComponentTest, ShortHeaderReadsAsEmptyArchive) {
    for (std::size_t n : {0u, 1u, 5u, 20u}) {
        Bytes junk(n, 0xEE);
        EXPECT_TRUE(ExpandByName(junk, "x").empty()) << n;
    }
    ArchiveHeader header;
    std::string methodId = "ABCDE";
    TMemoryStream s(Bytes(20, 0));
    component.ReadArchiveHeader(s, header, methodId);
    EXPECT_EQ(methodId.size(), 3u);
    EXPECT_EQ(header.Magic, kArchiveMagic);
    EXPECT_EQ(header.TotalSize, 0);
    EXPECT_EQ(header.ArchiveType, 1);
    EXPECT_EQ(std::string(header.MethodId.begin(), header.MethodId.end()), "ABC");
    EXPECT_EQ(s.Position(), 0);
}

TEST_F(ComponentTest, HeaderIsReadAtTheStreamPosition) {
    Bytes data = ToBytes("prefix");
    Append(data, ArchiveBytes("NON", {StoredEntry("a", "hello")}));
    TMemoryStream s(data);
    s.SetPosition(6);
    std::vector<std::string> names;
    WalkArchive(component, s, [&](const ArchiveEntry& e) -> TStream* {
        names.push_back(e.Name);
        return nullptr;
    });
    EXPECT_EQ(names, std::vector<std::string>{"a"});
}

TEST_F(ComponentTest, MissingArchiveRaisesOpenError) {
    const std::string path = dir.Path("none.qvx");
    TMemoryStream out;
    EXPECT_EQ(MessageOf<EFOpenError>([&] { component.ExpandEntryByName(path, out, "x"); }), "Cannot open file " + path);
}

TEST_F(ComponentTest, ArchiveIsOpenedExclusivelyAndClosedAfterwards) {
    const std::string path = dir.Write("a.qvx", ArchiveBytes("NON", {StoredEntry("a", "hello")}));
    {
        TFileStream holder(path, FileMode::ReadShared);
        TMemoryStream out;
        EXPECT_THROW(component.ExpandEntryByName(path, out, "a"), EFOpenError);
    }
    TMemoryStream out;
    component.ExpandEntryByName(path, out, "a");
    EXPECT_NO_THROW(TFileStream(path, FileMode::ReadExclusive));
    // Closed after a failure too.
    component.SetOnShowProgress([](std::int32_t&) { throw EReadError(); });
    const std::string rle = dir.Write("r.qvx", ArchiveBytes("RLE", {RleEntry("r", {1, 2}, {1, 2})}));
    EXPECT_THROW(component.ExpandEntryByName(rle, out, "r"), EReadError);
    EXPECT_NO_THROW(TFileStream(rle, FileMode::ReadExclusive));
}

// The walk.

TEST_F(ComponentTest, StoredEntriesByNameAndUntouchedDestForMissingName) {
    const Bytes archive =
        ArchiveBytes("NON", {StoredEntry("first.txt", "one"), StoredEntry("Installer\\Quorvex.exe", "MZ-engine"),
                             StoredEntry("third", "three")});
    EXPECT_EQ(ExpandByName(archive, "Installer\\Quorvex.exe"), ToBytes("MZ-engine"));
    EXPECT_EQ(ExpandByName(archive, "third"), ToBytes("three"));
    EXPECT_TRUE(ExpandByName(archive, "fourth").empty());
    EXPECT_TRUE(ExpandByName(archive, "third ").empty());
}

TEST_F(ComponentTest, DestIsAppendedAtItsPosition) {
    const std::string path = dir.Write("a.qvx", ArchiveBytes("NON", {StoredEntry("a", "xyz")}));
    TMemoryStream out(ToBytes("0123456"));
    out.SetPosition(2);
    component.ExpandEntryByName(path, out, "a");
    EXPECT_EQ(out.Data(), ToBytes("01xyz56"));
}

TEST_F(ComponentTest, NameMatchIgnoresAsciiCaseOnly) {
    const Bytes archive = ArchiveBytes("NON", {StoredEntry("Dir\\File\xE9.TXT", "data")});
    EXPECT_EQ(ExpandByName(archive, "dIR\\fILE\xE9.txt"), ToBytes("data"));
    // 0xC9 and 0xE9 differ by the ASCII case bit, but are not ASCII letters.
    EXPECT_TRUE(ExpandByName(archive, "Dir\\File\xC9.TXT").empty());
    // '[' (0x5B) and '{' (0x7B) differ by the same bit and are not letters either.
    const Bytes brackets = ArchiveBytes("NON", {StoredEntry("a[b", "data")});
    EXPECT_TRUE(ExpandByName(brackets, "a{b").empty());
    EXPECT_TRUE(ExpandByName(brackets, "A{B").empty());
    EXPECT_EQ(ExpandByName(brackets, "A[B"), ToBytes("data"));
    EXPECT_TRUE(SameEntryName("", ""));
    EXPECT_FALSE(SameEntryName("ab", "abc"));
    EXPECT_FALSE(SameEntryName("@", "`"));
}

TEST_F(ComponentTest, EmptyNameEntry) {
    const Bytes archive = ArchiveBytes("NON", {StoredEntry("", "anon"), StoredEntry("b", "bee")});
    EXPECT_EQ(ExpandByName(archive, ""), ToBytes("anon"));
    EXPECT_EQ(ExpandByName(archive, "b"), ToBytes("bee"));
}

TEST_F(ComponentTest, EntriesOfOneNameAreAllExpandedInOrder) {
    const Bytes archive = ArchiveBytes("RLE", {StoredEntry("dup", "first-"), StoredEntry("other", "zzz"),
                                               RleEntry("DUP", {'A', 0x94, 0x03}, ToBytes("AAA"))});
    EXPECT_EQ(ExpandByName(archive, "dup"), ToBytes("first-AAA"));
}

TEST_F(ComponentTest, TotalSizeZeroReadsEmptyWhenOnlyEmptyEntriesFollow) {
    const Bytes archive = ArchiveBytes("NON", {StoredEntry("a", "")}, 0);
    EXPECT_TRUE(ExpandByName(archive, "a").empty());
}

TEST_F(ComponentTest, TrailingEmptyEntriesAreUnreachable) {
    const Bytes archive = ArchiveBytes(
        "NON",
        {StoredEntry("empty1", ""), StoredEntry("a", "abc"), StoredEntry("empty2", ""), StoredEntry("a", "again")}, 3);
    // empty1 is reached (sum 0 < 3); after "a" the sum is 3 and the walk ends.
    std::vector<std::string> names;
    TMemoryStream s(archive);
    WalkArchive(component, s, [&](const ArchiveEntry& e) -> TStream* {
        names.push_back(e.Name);
        return nullptr;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"empty1", "a"}));
    EXPECT_EQ(ExpandByName(archive, "a"), ToBytes("abc"));
}

TEST_F(ComponentTest, TruncatedEntryHeaderOrNameEndsTheWalkAsATruncatedArchive) {
    Bytes archive = ArchiveBytes("NON", {StoredEntry("a", "abc"), StoredEntry("bbbb", "def")});
    const Bytes whole = archive;
    const std::string path = dir.Path("a.qvx");
    for (const std::size_t size :
         {whole.size() - 3 - 2, std::size_t{21 + 25 + 1 + 3 + 10}}) {  // in the name, the header
        archive.resize(size);
        dir.Write("a.qvx", archive);
        TMemoryStream out;
        // The entries before the cut are expanded; the walk's end finds the archive cut.
        EXPECT_EQ(MessageOf<ETruncatedArchive>([&] { component.ExpandEntryByName(path, out, "a"); }),
                  "archive is truncated: its entries hold 3 of 6 bytes");
        EXPECT_EQ(out.Data(), ToBytes("abc"));
    }
}

TEST_F(ComponentTest, NegativeNameLengthEndsTheWalk) {
    TestEntry bad = StoredEntry("", "zz");
    bad.NameLength = 0x8001;
    const Bytes archive = ArchiveBytes("NON", {StoredEntry("a", "abc"), bad, StoredEntry("c", "cc")}, 3);
    EXPECT_EQ(ExpandByName(archive, "a"), ToBytes("abc"));
    EXPECT_TRUE(ExpandByName(archive, "c").empty());
    std::string name;
    EntryHeader e;
    TMemoryStream s(EntryBytes(bad));
    EXPECT_FALSE(TQuorvexCompress::ReadEntryHeader(s, e, name));
    EXPECT_EQ(e.NameLength, -32767);
}

TEST_F(ComponentTest, StoredBytesPastTheEndAreATruncatedArchive) {
    TestEntry e = StoredEntry("a", "abc");
    e.StoredSize = 10;
    e.ExpandedSize = 10;
    // The walk knows the file's size and refuses the entry before anything is expanded...
    EXPECT_EQ(MessageOf<ETruncatedArchive>([&] { ExpandByName(ArchiveBytes("NON", {e}), "a"); }),
              "stored bytes run past the end of the archive: stored size 10, 3 bytes left");
    // ...and a stream that runs short under the expansion itself gives the same fault.
    for (CompressMethod method : {cmNON, cmRLE, cmLZH, cmLH5}) {
        TMemoryStream src(ToBytes("abc")), out;
        EXPECT_EQ(MessageOf<ETruncatedArchive>([&] { component.ExpandEntry(out, src, 10, 10, 0, method, "NON"); }),
                  kStoredPastEndMessage)
            << MethodName(method);
    }
}

TEST_F(ComponentTest, FailingDestRaisesWriteError) {
    const std::string path =
        dir.Write("a.qvx", ArchiveBytes("RLE", {StoredEntry("a", "abc"), RleEntry("r", {1, 2}, {1, 2})}));
    FailingWriteStream out;
    EXPECT_EQ(MessageOf<EWriteError>([&] { component.ExpandEntryByName(path, out, "a"); }), "Stream write error");
    EXPECT_EQ(MessageOf<EWriteError>([&] { component.ExpandEntryByName(path, out, "r"); }), "Stream write error");
}

TEST_F(ComponentTest, StoredEntriesAreVerifiedUnlessTheirChecksumIsZeroOrTheCheckIsOff) {
    TestEntry e = StoredEntry("a", "abc");
    e.Checksum = 0xDEADBEEF;
    TestEntry empty = StoredEntry("b", "");
    empty.Checksum = 7;
    TestEntry none = StoredEntry("n", "xyz");
    none.Checksum = 0;  // a writer that records no sum
    const Bytes archive = ArchiveBytes("NON", {e, empty, none, StoredEntry("c", "c")});
    const std::string path = dir.Write("a.qvx", archive);
    TMemoryStream out;
    EXPECT_THROW(component.ExpandEntryByName(path, out, "a"), EBadChecksum);
    EXPECT_EQ(out.Data(), ToBytes("abc"));  // raised after the bytes were written, as for the codecs
    EXPECT_THROW(ExpandByName(archive, "b"), EBadChecksum);
    EXPECT_EQ(ExpandByName(archive, "n"), ToBytes("xyz"));
    EXPECT_TRUE(component.VerifyStoredChecksums());
    component.SetVerifyStoredChecksums(false);
    EXPECT_EQ(ExpandByName(archive, "a"), ToBytes("abc"));
    EXPECT_TRUE(ExpandByName(archive, "b").empty());
}

TEST_F(ComponentTest, RleEntryExpandsAndWalkStaysAligned) {
    const Bytes expanded = {'x', 'x', 'x', 'x', 0x94, 'y'};
    const Bytes archive = ArchiveBytes(
        "RLE", {RleEntry("r", {'x', 0x94, 0x04, 0x94, 0x00, 'y'}, expanded), StoredEntry("after", "tail")});
    EXPECT_EQ(ExpandByName(archive, "r"), expanded);
    EXPECT_EQ(ExpandByName(archive, "after"), ToBytes("tail"));
}

TEST_F(ComponentTest, WrongRleChecksumRaisesAfterTheDataIsWritten) {
    TestEntry e = RleEntry("r", {'x', 0x94, 0x04}, ToBytes("xxxx"));
    e.Checksum += 1;
    const std::string path = dir.Write("a.qvx", ArchiveBytes("RLE", {e, StoredEntry("r", "never")}));
    TMemoryStream out;
    EXPECT_EQ(MessageOf<EBadChecksum>([&] { component.ExpandEntryByName(path, out, "r"); }),
              "Bad checksum during expansion -- data may be invalid");
    EXPECT_EQ(out.Data(), ToBytes("xxxx"));
}

TEST_F(ComponentTest, CancelledExpansionReportsBadChecksumWhateverTheChecksum) {
    component.SetOnShowProgress([](std::int32_t& p) { p = -1; });
    const Bytes archive = ArchiveBytes("RLE", {RleEntry("r", {'x', 'y'}, ToBytes("xy"))});
    EXPECT_THROW(ExpandByName(archive, "r"), EBadChecksum);
    // Entries of zero bytes: a cut expansion would give a matching sum.
    const Bytes zeros = ArchiveBytes("RLE", {RleEntry("z", {0x00, 0x94, 0xFF}, Bytes(255, 0))});
    EXPECT_THROW(ExpandByName(zeros, "z"), EBadChecksum);
}

TEST_F(ComponentTest, ProgressHandlerSeesRleEntries) {
    std::vector<std::int32_t> seen;
    component.SetOnShowProgress([&](std::int32_t& p) { seen.push_back(p); });
    const Bytes archive = ArchiveBytes("RLE", {RleEntry("r", Bytes(10000, 'q'), Bytes(10000, 'q'))});
    EXPECT_EQ(ExpandByName(archive, "r"), Bytes(10000, 'q'));
    EXPECT_EQ(seen, (std::vector<std::int32_t>{81, 100}));
}

// Custom methods.

TEST_F(ComponentTest, RecognizedCustomIdCountsAsCusAndReachesOnExpand) {
    std::vector<std::string> asked;
    component.SetOnRecognize([&](const std::string& id, bool& recognized) {
        asked.push_back(id);
        recognized = id == "XYZ";
    });
    EXPECT_EQ(component.RecognizeMethod("XYZ"), cmCUS);
    EXPECT_EQ(component.RecognizeMethod("LH5"), cmLH5);  // table ids never reach the event
    EXPECT_EQ(MessageOf<EUnrecognizedCompressionMethod>([&] { component.RecognizeMethod("ABC"); }),
              "Unrecognized compression method: \"ABC\" in header");
    EXPECT_EQ(asked, (std::vector<std::string>{"XYZ", "ABC"}));

    std::string receivedId;
    std::int32_t receivedSourcesize = -1, receivedDestsize = -1;
    component.SetOnExpand([&](TStream& dest, TStream& source, std::int32_t Sourcesize, std::int32_t Destsize,
                              const std::string& CompressID, std::uint32_t& checksum) {
        receivedId = CompressID;
        receivedSourcesize = Sourcesize;
        receivedDestsize = Destsize;
        Bytes in(static_cast<std::size_t>(Sourcesize));
        source.ReadBuffer(in.data(), Sourcesize);
        for (auto& b : in) b = static_cast<std::uint8_t>(b ^ 0x20);
        dest.WriteBuffer(in.data(), Sourcesize);
        checksum = Sum(in);
    });
    TestEntry custom;
    custom.Name = "c";
    custom.Method = cmCUS;
    custom.Stored = ToBytes("HELLO");
    custom.ExpandedSize = 5;
    custom.Checksum = Sum(ToBytes("hello"));
    const Bytes archive = ArchiveBytes("XYZ", {custom, StoredEntry("c", "!")});
    EXPECT_EQ(ExpandByName(archive, "c"), ToBytes("hello!"));
    EXPECT_EQ(receivedId, "XYZ");
    EXPECT_EQ(receivedSourcesize, 5);
    EXPECT_EQ(receivedDestsize, 5);

    custom.Checksum += 1;
    EXPECT_THROW(ExpandByName(ArchiveBytes("XYZ", {custom}), "c"), EBadChecksum);
}

TEST_F(ComponentTest, RecognizeHandlerThatDeclinesStillRaises) {
    component.SetOnRecognize([](const std::string&, bool&) {});
    EXPECT_THROW(ExpandByName(HeaderBytes("QQQ", 0), "x"), EUnrecognizedCompressionMethod);
}

TEST_F(ComponentTest, UnexpandableEntriesAreNamedAndTheWalkCanGoOn) {
    const struct {
        CompressMethod Method;
        const char* Class;
        const char* Message;
    } cases[] = {
        {cmCUS, "ECustomMethodUnavailable", "entry uses a custom method and no OnExpand handler is set"},
        {CompressMethod{5}, "EUnrecognizedCompressionMethod", "unknown compression method 5"},
        {CompressMethod{200}, "EUnrecognizedCompressionMethod", "unknown compression method 200"},
    };
    for (const auto& c : cases) {
        TestEntry e;
        e.Name = "u";
        e.Method = c.Method;
        e.Stored = ToBytes("stored-bytes");
        e.ExpandedSize = 4;
        e.Checksum = 0;  // checksum 0 passes nothing either
        TMemoryStream archive(ArchiveBytes("CUS", {e, StoredEntry("u", "next")})), out;
        ArchiveWalker walker(component, archive);
        ArchiveEntry entry;
        ASSERT_TRUE(walker.Next(entry));
        try {
            walker.Expand(entry, out);
            ADD_FAILURE() << c.Message;
        } catch (const Exception& x) {
            EXPECT_STREQ(x.ClassName(), c.Class);
            EXPECT_EQ(x.Message(), c.Message);
        }
        EXPECT_TRUE(out.Data().empty());
        walker.SeekPastEntry(entry);
        ASSERT_TRUE(walker.Next(entry));
        walker.Expand(entry, out);
        EXPECT_EQ(out.Data(), ToBytes("next"));
        EXPECT_FALSE(walker.Next(entry));
    }
}

// Sizes outside the format.

TEST_F(ComponentTest, NegativeSizesRaiseInvalidSize) {
    TestEntry negStored = StoredEntry("a", "abc");
    negStored.StoredSize = -3;
    TestEntry negExpanded = StoredEntry("a", "abc");
    negExpanded.ExpandedSize = -1;
    for (const auto& e : {negStored, negExpanded}) {
        const Bytes archive = ArchiveBytes("NON", {StoredEntry("z", "z"), e, StoredEntry("a", "x")}, 100);
        // Raised whether or not the name matches: the walk can neither skip nor expand it.
        EXPECT_THROW(ExpandByName(archive, "a"), EInvalidSize);
        EXPECT_THROW(ExpandByName(archive, "nothing"), EInvalidSize);
    }
}

TEST_F(ComponentTest, RunningSumOverflowRaisesInvalidSize) {
    TestEntry big = StoredEntry("big", "");
    big.ExpandedSize = 0x7FFFFFFF;
    TestEntry more = StoredEntry("more", "x");
    // The first entry brings the sum to 2^31 - 1 (allowed); the next one would pass it.
    const Bytes archive = ArchiveBytes("NON", {big, more, StoredEntry("big", "")}, 0x7FFFFFFF);
    // The walk stops at TotalSize before "more" is taken: no overflow, but an entry left out.
    EXPECT_EQ(MessageOf<EInvalidSize>([&] { ExpandByName(archive, "more"); }),
              "the header's total size 2147483647 leaves out a further entry of 1 byte");

    TestEntry half = StoredEntry("half", "");
    half.ExpandedSize = 0x40000000;
    const Bytes overflow = ArchiveBytes("NON", {half, half, StoredEntry("x", "x")}, 0x7FFFFFFF);
    EXPECT_THROW(ExpandByName(overflow, "x"), EInvalidSize);
}

TEST_F(ComponentTest, ExpandEntryRejectsNegativeSourcesizeForEveryMethod) {
    for (CompressMethod method : {cmNON, cmRLE, cmCUS, CompressMethod{9}}) {
        TMemoryStream src(ToBytes("0123456789"));
        src.SetPosition(5);
        TMemoryStream out;
        try {
            component.ExpandEntry(out, src, -3, 0, 0, method, "CUS");
        } catch (const EInvalidSize&) {
        }
        EXPECT_EQ(src.Position(), 5) << MethodName(method);  // never moves backwards
        EXPECT_TRUE(out.Data().empty());
    }
}

TEST_F(ComponentTest, WalkResumesAtTheEntryEndWhateverTheDecoderRead) {
    // An LH5 stream of ten 0x41 bytes that takes no bits after its header, followed by 9,000 stored
    // bytes the decoder never needs: the engine reads one 8192-byte block of them and stops. The
    // next entry must still be found where the stored bytes end.
    TestEntry lh5;
    lh5.Name = "first";
    lh5.Method = cmLH5;
    lh5.Stored = {0x00, 0x0A, 0x00, 0x00, 0x04, 0x10, 0x00};
    lh5.Stored.resize(7 + 9000, 0xEE);
    lh5.ExpandedSize = 10;
    lh5.Checksum = 10 * 0x41;
    lh5.Name = "same";
    TMemoryStream archive(ArchiveBytes("LH5", {lh5, StoredEntry("SAME", "after")}));
    TMemoryStream out;
    WalkArchive(component, archive, [&](const ArchiveEntry&) -> TStream* { return &out; });
    Bytes expected(10, 0x41);
    Append(expected, ToBytes("after"));
    EXPECT_EQ(out.Data(), expected);
}

TEST_F(ComponentTest, OtherCodecEntriesAreSkippedUnread) {
    // Entries of the LZSS methods whose names do not match are moved over by their stored size
    // without reaching a codec, whatever their stored bytes.
    TestEntry lh5;
    lh5.Name = "big.exe";
    lh5.Method = cmLH5;
    lh5.Stored = Bytes(300, 0xA5);
    lh5.ExpandedSize = 5000;
    lh5.Checksum = 12345;
    TestEntry lzh = lh5;
    lzh.Method = cmLZH;
    const Bytes archive = ArchiveBytes("LH5", {lh5, lzh, StoredEntry("small", "ok")});
    EXPECT_EQ(ExpandByName(archive, "small"), ToBytes("ok"));
}

// Sizes that disagree and compressed data that cannot give its entry are refused with their own
// fault, whatever the entry's checksum says, and at once: an entry claiming 2 GB from no stored
// bytes writes nothing.
TEST_F(ComponentTest, DamagedArchivesAreRefusedWithTheirFault) {
    const auto lh5 = [](Bytes stored, std::int64_t size, std::uint32_t checksum) {
        TestEntry e;
        e.Name = "e";
        e.Method = cmLH5;
        e.Stored = std::move(stored);
        e.ExpandedSize = size;
        e.Checksum = checksum;
        return e;
    };
    const Bytes literalAndMatch = {0x00, 0x02, 0x20, 0x04, 0x30, 0x10, 0xB6, 0x55, 0x40, 0x10};  // "AAAA"
    TestEntry claims = StoredEntry("e", "sixsix");
    claims.ExpandedSize = 0x7FFFFFFF;
    TestEntry rle = RleEntry("e", {}, {});
    rle.ExpandedSize = 100000000;
    Bytes cut = ArchiveBytes("LH5", {lh5(literalAndMatch, 4, 4 * 'A')});
    cut.resize(cut.size() - 4);
    cut[21 + 12] -= 4;  // the stored size says what is left: the stream itself ends early
    const struct {
        const char* What;
        Bytes Archive;
        const char* Class;
        std::string Message;
    } cases[] = {
        {"stored sizes that differ", ArchiveBytes("NON", {claims}), "EInvalidSize",
         "stored entry of 6 bytes claims an expanded size of 2147483647"},
        {"no LH5 bytes for 2 GB, checksum 0", ArchiveBytes("LH5", {lh5({}, 0x7FFFFFFF, 0)}), "EDataError",
         kDataEndsEarlyMessage},
        {"LH5 bytes cut", cut, "EDataError", kDataEndsEarlyMessage},
        {"a last match past the size", ArchiveBytes("LH5", {lh5(literalAndMatch, 2, 2 * 'A')}), "EDataError",
         kDataRunsPastSizeMessage},
        {"no RLE bytes for 100 MB", ArchiveBytes("RLE", {rle}), "EDataError", kDataEndsEarlyMessage},
        {"total size -1", ArchiveBytes("NON", {StoredEntry("e", "abc")}, -1), "EInvalidSize",
         "negative total size -1 in the archive header"},
        {"total size 0", ArchiveBytes("NON", {StoredEntry("e", "abc")}, 0), "EInvalidSize",
         "the header's total size 0 leaves out a further entry of 3 bytes"},
        {"total size below the entries", ArchiveBytes("NON", {StoredEntry("e", "abc"), StoredEntry("f", "d")}, 2),
         "EInvalidSize", "the entries hold 3 bytes, more than the header's total size 2"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write("d.qvx", c.Archive);
        TMemoryStream out;
        try {
            component.ExpandEntryByName(path, out, "e");
            ADD_FAILURE() << c.What << ": no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), c.Class) << c.What;
            EXPECT_EQ(e.Message(), c.Message) << c.What;
        }
        // Nothing is written; a fault of the walk's end comes after the entries were expanded.
        EXPECT_EQ(out.Data().empty(), std::string(c.What) != "total size below the entries") << c.What;
    }
}

TEST(ExceptionFamily, FixedMessagesAndCommonBase) {
    auto check = [](const Exception& e, const char* cls, const std::string& message) {
        EXPECT_STREQ(e.ClassName(), cls);
        EXPECT_EQ(e.Message(), message);
        EXPECT_STREQ(e.what(), message.c_str());
    };
    check(EInvalidHeader(), "EInvalidHeader", "Can't recognize compressed file header");
    check(EInvalidHeaderArchiveType(), "EInvalidHeaderArchiveType", "Archive type must be caMulti");
    check(EBadChecksum(), "EBadChecksum", "Bad checksum during expansion -- data may be invalid");
    check(ELZHBadDecodeTable(), "ELZHBadDecodeTable", "Bad decode table in archive!");
    check(EUnableToCompress(), "EUnableToCompress", "Could not compress data");
    check(EReadError(), "EReadError", "Stream read error");
    check(EWriteError(), "EWriteError", "Stream write error");
    check(EUnrecognizedCompressionMethod(UnrecognizedMethodMessage("A\"B")), "EUnrecognizedCompressionMethod",
          "Unrecognized compression method: \"A\"B\" in header");
    EXPECT_THROW(throw EBadChecksum(), Exception);
}

// Properties.

TEST(ComponentProperties, DefaultsAndTargetPath) {
    TQuorvexCompress c;
    EXPECT_FALSE(c.OnCompress());
    EXPECT_FALSE(c.OnExpand());
    EXPECT_FALSE(c.OnCheckFile());
    EXPECT_FALSE(c.OnRecognize());
    EXPECT_FALSE(c.OnShowProgress());
    EXPECT_EQ(c.TargetPath(), "");
    EXPECT_FALSE(c.MakeDirectories());
    EXPECT_FALSE(c.ExceptionOnFileError());
    EXPECT_FALSE(c.CheckSpaceBeforeExpand());
    EXPECT_EQ(c.MinimumSaving(), 0);

    c.SetTargetPath("C:\\Temp");
    EXPECT_EQ(c.TargetPath(), "C:\\Temp\\");
    c.SetTargetPath("C:\\Temp\\");
    EXPECT_EQ(c.TargetPath(), "C:\\Temp\\");
    c.SetTargetPath("");
    EXPECT_EQ(c.TargetPath(), "");
    c.SetTargetPath("dir/");
    EXPECT_EQ(c.TargetPath(), "dir/\\");
    c.SetMakeDirectories(true);
    c.SetExceptionOnFileError(true);
    c.SetCheckSpaceBeforeExpand(true);
    EXPECT_TRUE(c.MakeDirectories() && c.ExceptionOnFileError() && c.CheckSpaceBeforeExpand());
}

// Two components expanding two different archives at the same time on two threads.

TEST(ComponentThreads, TwoExpansionsAtOnce) {
    TempDir dir;
    auto makeArchive = [&](std::uint8_t seed, const std::string& file, Bytes& expected) {
        Bytes rle;
        for (int i = 0; i < 4000; ++i) {
            auto v = static_cast<std::uint8_t>(seed + i * 13);
            if (v == 0x94) v = 0x95;
            const auto n = static_cast<std::uint8_t>(2 + (i * seed) % 200);
            rle.insert(rle.end(), {v, 0x94, n});
            expected.insert(expected.end(), n, v);
        }
        return dir.Write(file, ArchiveBytes("RLE", {RleEntry("e", rle, expected)}));
    };
    Bytes expectedA, expectedB;
    const std::string a = makeArchive(3, "a.qvx", expectedA);
    const std::string b = makeArchive(71, "b.qvx", expectedB);
    ASSERT_NE(expectedA, expectedB);
    for (int round = 0; round < 3; ++round) {
        TMemoryStream outA, outB;
        int progressA = 0, progressB = 0;
        std::exception_ptr errorA, errorB;
        auto run = [](const std::string& path, TMemoryStream& out, int& progress, std::exception_ptr& error) {
            try {
                TQuorvexCompress component;
                component.SetOnShowProgress([&](std::int32_t&) { ++progress; });
                component.ExpandEntryByName(path, out, "e");
            } catch (...) {
                error = std::current_exception();
            }
        };
        std::thread ta(run, std::cref(a), std::ref(outA), std::ref(progressA), std::ref(errorA));
        std::thread tb(run, std::cref(b), std::ref(outB), std::ref(progressB), std::ref(errorB));
        ta.join();
        tb.join();
        EXPECT_FALSE(errorA);
        EXPECT_FALSE(errorB);
        EXPECT_EQ(outA.Data(), expectedA);
        EXPECT_EQ(outB.Data(), expectedB);
        EXPECT_EQ(progressA, 2);
        EXPECT_EQ(progressB, 2);
    }
}

}  // namespace
}  // namespace qvx::test
