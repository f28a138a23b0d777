#include <gtest/gtest.h>

#include <instcompress/ArchiveFormat.h>

#include "TestSupport.h"

namespace qvx::test {
namespace {

TEST(ArchiveHeaderFormat, WorkedExampleDecodes) {
    const Bytes raw = {0x53, 0x50, 0x49, 0x53, 0x1A, 0x4C, 0x48, 0x35, 0x37, 0xD1, 0x0C,
                       0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::array<std::uint8_t, ArchiveHeader::kSize> bytes{};
    std::copy(raw.begin(), raw.end(), bytes.begin());
    const ArchiveHeader h = ArchiveHeader::Decode(bytes);
    EXPECT_EQ(h.Magic, kArchiveMagic);
    EXPECT_EQ(std::string(h.MethodId.begin(), h.MethodId.end()), "LH5");
    EXPECT_EQ(h.TotalSize, 839991);
    EXPECT_EQ(h.ArchiveType, 1);
    EXPECT_EQ(h.Reserved1, 0u);
    EXPECT_EQ(h.Reserved2, 0u);
    EXPECT_EQ(h.Encode(), bytes);
    EXPECT_EQ(raw, HeaderBytes("LH5", 839991));
}

TEST(ArchiveHeaderFormat, FieldsAtTheirOffsetsLittleEndian) {
    ArchiveHeader h;
    h.Magic = kArchiveMagic;
    h.MethodId = {'R', 'L', 'E'};
    h.TotalSize = -2;  // signed: stored as FE FF FF FF
    h.ArchiveType = 7;
    h.Reserved1 = 0x04030201;
    h.Reserved2 = 0x0D0C0B0A;
    const auto b = h.Encode();
    const Bytes expected = {'S',  'P', 'I', 'S', 0x1A, 'R', 'L',  'E',  0xFE, 0xFF, 0xFF,
                            0xFF, 7,   1,   2,   3,    4,   0x0A, 0x0B, 0x0C, 0x0D};
    EXPECT_EQ(Bytes(b.begin(), b.end()), expected);
    const ArchiveHeader back = ArchiveHeader::Decode(b);
    EXPECT_EQ(back.TotalSize, -2);
    EXPECT_EQ(back.Reserved1, 0x04030201u);
    EXPECT_EQ(back.Reserved2, 0x0D0C0B0Au);
    EXPECT_EQ(back.ArchiveType, 7);
}

TEST(EntryHeaderFormat, FieldsAtTheirOffsetsLittleEndian) {
    EntryHeader e;
    e.NameLength = 0x0102;
    e.FileTime = 0x0304;
    e.FileDate = 0x0506;
    e.Attributes = 0x0708;
    e.ExpandedSize = 0x090A0B0C;
    e.StoredSize = 0x0D0E0F10;
    e.MethodIndex = 0x11;
    e.Checksum = 0x12131415;
    e.EntryReserved = 0x16171819;
    const auto b = e.Encode();
    const Bytes expected = {0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07, 0x0C, 0x0B, 0x0A, 0x09, 0x10,
                            0x0F, 0x0E, 0x0D, 0x11, 0x15, 0x14, 0x13, 0x12, 0x19, 0x18, 0x17, 0x16};
    EXPECT_EQ(Bytes(b.begin(), b.end()), expected);
    const EntryHeader d = EntryHeader::Decode(b);
    EXPECT_EQ(d.NameLength, 0x0102);
    EXPECT_EQ(d.FileTime, 0x0304);
    EXPECT_EQ(d.FileDate, 0x0506);
    EXPECT_EQ(d.Attributes, 0x0708);
    EXPECT_EQ(d.ExpandedSize, 0x090A0B0C);
    EXPECT_EQ(d.StoredSize, 0x0D0E0F10);
    EXPECT_EQ(d.MethodIndex, 0x11);
    EXPECT_EQ(d.Checksum, 0x12131415u);
    EXPECT_EQ(d.EntryReserved, 0x16171819u);
}

TEST(EntryHeaderFormat, SignedFieldsDecodeNegative) {
    TestEntry t;
    t.NameLength = 0x8000;
    t.ExpandedSize = static_cast<std::int32_t>(0x80FFFFFF);
    t.StoredSize = -2;
    const Bytes raw = EntryBytes(t);
    std::array<std::uint8_t, EntryHeader::kSize> b{};
    std::copy(raw.begin(), raw.begin() + EntryHeader::kSize, b.begin());
    const EntryHeader d = EntryHeader::Decode(b);
    EXPECT_EQ(d.NameLength, -32768);
    EXPECT_EQ(d.ExpandedSize, static_cast<std::int32_t>(0x80FFFFFF));
    EXPECT_LT(d.ExpandedSize, 0);
    EXPECT_EQ(d.StoredSize, -2);
}

TEST(ArchiveFormat, MethodTable) {
    // Index, identifier, display name, defined, writable: every byte an entry may hold.
    struct Row {
        std::uint8_t Index;
        std::string_view Id;
        std::string_view Name;
        bool Defined;
        bool Writable;
    };
    const Row rows[] = {
        {0, "NON", "NON", true, true},  {1, "RLE", "RLE", true, false},  {2, "LZH", "LZH", true, true},
        {3, "CUS", "CUS", true, false}, {4, "LH5", "LH5", true, true},   {5, "", "#5", false, false},
        {10, "", "#10", false, false},  {200, "", "#200", false, false}, {255, "", "#255", false, false}};
    EXPECT_EQ(MethodIds.size(), 5u);
    for (const Row& r : rows) {
        const CompressMethod m = MethodFromIndex(r.Index);
        EXPECT_EQ(MethodIndex(m), r.Index);
        EXPECT_EQ(MethodId(m), r.Id) << int{r.Index};
        EXPECT_EQ(MethodName(m), r.Name);
        EXPECT_EQ(IsDefinedMethod(m), r.Defined) << int{r.Index};
        EXPECT_EQ(IsWritableMethod(m), r.Writable) << int{r.Index};
        if (r.Defined) {
            EXPECT_EQ(MethodIds[r.Index], r.Id);
            EXPECT_EQ(MethodFromId(r.Id), m);
        }
    }
    EXPECT_EQ(cmLH5, MethodFromIndex(4));
    // Identifiers compare exactly.
    EXPECT_FALSE(MethodFromId("lh5").has_value());
    EXPECT_FALSE(MethodFromId("LH").has_value());
    EXPECT_FALSE(MethodFromId("LH5 ").has_value());
}

TEST(ArchiveFormat, ByteSumTakesBytesUnsignedAndWraps) {
    const Bytes b = {0xFF, 0x80, 0x01};
    EXPECT_EQ(ByteSum(b.data(), b.size()), 0x180u);
    EXPECT_EQ(ByteSum(b.data(), b.size(), 0xFFFFFF00u), 0x80u);
    EXPECT_EQ(ByteSum(nullptr, 0, 5), 5u);
    const Bytes big(16843010, 0xFF);  // 0xFF * 16843010 = 2^32 + 254
    EXPECT_EQ(ByteSum(big.data(), big.size()), 254u);
    // Every length around the 32-byte steps, from unaligned starts: the sum of the bytes one by one.
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 151 + 7);
    for (const std::size_t offset : {0, 1, 7, 15}) {
        for (std::size_t n = 0; n + offset <= data.size(); n += (n < 70 ? 1 : 37)) {
            std::uint32_t expected = 9;
            for (std::size_t i = 0; i < n; ++i) expected += data[offset + i];
            EXPECT_EQ(ByteSum(data.data() + offset, n, 9), expected) << offset << " " << n;
        }
    }
}

}  // namespace
}  // namespace qvx::test
