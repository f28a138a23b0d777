// The PE reader: what it takes from well-formed headers, how it turns down malformed ones (every
// read bounds-checked, so any prefix of a header is safe), and the PE header checksum.
#include <gtest/gtest.h>

#include <functional>

#include <instcompress/MemoryStream.h>

#include "setup/PeFile.h"
#include "setup/PeTestFiles.h"

namespace qvx::cli::test {
namespace {

using pe::PeKind;

TEST(PeFile, ReadsMachineChecksumAndCertificateTableOfBothHeaderKinds) {
    for (const bool plus : {false, true}) {
        auto bytes = PeHeaderBytes(
            {.Machine = 0x014C, .Pe32Plus = plus, .CertificateTableOffset = 0x12340, .CertificateTableSize = 0x560});
        PutLe(bytes, ChecksumFieldAt(), 0xA1B2C3D4, 4);
        const pe::PeReadResult r = pe::ReadPeHeaders(bytes);
        ASSERT_EQ(r.Kind, PeKind::Pe) << r.Fault;
        EXPECT_EQ(r.Headers.Machine, 0x014C);
        EXPECT_EQ(r.Headers.Pe32Plus, plus);
        EXPECT_EQ(r.Headers.ChecksumOffset, ChecksumFieldAt());
        EXPECT_EQ(r.Headers.Checksum, 0xA1B2C3D4u);
        EXPECT_EQ(r.Headers.SecurityEntryOffset, SecurityEntryAt(plus));
        EXPECT_EQ(r.Headers.CertificateTableOffset, 0x12340u);
        EXPECT_EQ(r.Headers.CertificateTableSize, 0x560u);
        EXPECT_TRUE(r.Headers.HasCertificateTable());
    }
}

TEST(PeFile, MalformedHeadersAreTurnedDown) {
    using Edit = std::function<void(std::vector<std::uint8_t>&)>;
    const struct {
        const char* what;
        Edit edit;
        PeKind kind;
        const char* fault;
    } cases[] = {
        {"empty file", [](auto& b) { b.clear(); }, PeKind::NotPe, ""},
        {"ELF file",
         [](auto& b) {
             b[0] = 0x7F;
             b[1] = 'E';
         },
         PeKind::NotPe, ""},
        {"MZ alone", [](auto& b) { b.resize(2); }, PeKind::Malformed, "the DOS header is cut short"},
        {"DOS header cut short", [](auto& b) { b.resize(63); }, PeKind::Malformed, "the DOS header is cut short"},
        {"PE offset past the end", [](auto& b) { PutLe(b, 0x3C, static_cast<std::uint32_t>(b.size()) - 23, 4); },
         PeKind::Malformed, "the PE header offset lies past the file's headers"},
        {"PE offset at 2^32 - 1", [](auto& b) { PutLe(b, 0x3C, 0xFFFFFFFF, 4); }, PeKind::Malformed,
         "the PE header offset lies past the file's headers"},
        {"no PE signature", [](auto& b) { b[kPeOffset + 2] = 'X'; }, PeKind::Malformed, "no PE signature"},
        {"no optional header", [](auto& b) { PutLe(b, kPeOffset + 20, 0, 2); }, PeKind::Malformed,
         "the optional header is too small"},
        {"optional header without its checksum", [](auto& b) { PutLe(b, kPeOffset + 20, 67, 2); }, PeKind::Malformed,
         "the optional header is too small"},
        {"optional header larger than the file", [](auto& b) { PutLe(b, kPeOffset + 20, 0xFFFF, 2); },
         PeKind::Malformed, "the optional header is cut short"},
        {"unknown magic", [](auto& b) { PutLe(b, OptionalHeaderAt(), 0x107, 2); }, PeKind::Malformed,
         "unknown optional header magic"},
    };
    for (const auto& c : cases) {
        auto bytes = PeHeaderBytes();
        c.edit(bytes);
        const pe::PeReadResult r = pe::ReadPeHeaders(bytes);
        EXPECT_EQ(r.Kind, c.kind) << c.what;
        EXPECT_EQ(r.Fault, c.fault) << c.what;
    }
}

TEST(PeFile, HeadersWithoutTheSecurityEntryCarryNoCertificateTable) {
    const struct {
        const char* what;
        std::uint32_t directories;   // NumberOfRvaAndSizes
        std::uint32_t optionalSize;  // 0: as many entries as NumberOfRvaAndSizes says
    } cases[] = {
        {"four directories", 4, 0},
        {"no directories", 0, 0},
        {"sixteen directories claimed, the optional header ends before entry 4", 16, 112 + 4 * 8 + 4},
        {"optional header ends at the directory count", 16, 108},
    };
    for (const auto& c : cases) {
        auto bytes =
            PeHeaderBytes({.Directories = c.directories, .CertificateTableOffset = 100, .CertificateTableSize = 8});
        if (c.optionalSize != 0) PutLe(bytes, kPeOffset + 20, c.optionalSize, 2);
        const pe::PeReadResult r = pe::ReadPeHeaders(bytes);
        ASSERT_EQ(r.Kind, PeKind::Pe) << c.what << ": " << r.Fault;
        EXPECT_EQ(r.Headers.SecurityEntryOffset, 0u) << c.what;
        EXPECT_FALSE(r.Headers.HasCertificateTable()) << c.what;
    }
}

TEST(PeFile, EveryPrefixOfAHeaderIsTurnedDown) {
    const auto bytes = PeHeaderBytes({.CertificateTableOffset = 4096, .CertificateTableSize = 16});
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(pe::ReadPeHeaders(prefix).Kind, PeKind::Pe) << n << " bytes";
    }
    EXPECT_EQ(pe::ReadPeHeaders(bytes).Kind, PeKind::Pe);
}

TEST(PeFile, ReadsTheHeadersOfAStream) {
    auto bytes = PeHeaderBytes({.Machine = 0xAA64});
    bytes.resize(200000, 0x5A);
    TMemoryStream stream(bytes);
    const pe::PeReadResult r = pe::ReadPeHeaders(stream);
    ASSERT_EQ(r.Kind, PeKind::Pe);
    EXPECT_EQ(pe::MachineName(r.Headers.Machine), "ARM64");
    EXPECT_EQ(pe::MachineName(0x8664), "x86-64");
    EXPECT_EQ(pe::MachineName(0x01C4), "0x01C4");
}

TEST(PeFile, ChecksumFoldsTheCarryAddsTheLengthAndSkipsItsOwnField) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::uint32_t checksumOffset;
        std::uint32_t expected;
    } cases[] = {
        {"empty file", {}, 0, 0},
        {"one byte", {0x01}, 100, 0x0001 + 1},
        {"odd length: the last byte padded", {0x01, 0x02, 0x03}, 100, 0x0201 + 0x0003 + 3},
        {"carry folded back", {0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},
        {"the checksum field counts as 0", {1, 2, 3, 4, 5, 6}, 2, 0x0201 + 6},
        {"a field at the end of the file", {1, 2, 3, 4}, 2, 0x0201 + 4},
        {"across the reader's 64 KB pieces", std::vector<std::uint8_t>(65537, 0x01), 1u << 31, 0x8081 + 65537},
    };
    for (const auto& c : cases) {
        TMemoryStream stream(c.bytes);
        EXPECT_EQ(pe::PeChecksum(stream, c.checksumOffset), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace qvx::cli::test
