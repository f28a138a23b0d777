// The readers and writers that brand a launcher: the resource directory (exact layout, round
// trip, damaged directories), the rewrite of a program's resource section, .ico files, version
// information and manifests.
#include <gtest/gtest.h>

#include <functional>

#include "setup/PeImageBuilder.h"
#include "setup/branding/BrandingError.h"
#include "setup/branding/IconFile.h"
#include "setup/branding/Manifest.h"
#include "setup/branding/PeImage.h"
#include "setup/branding/ResourceSection.h"
#include "setup/branding/VersionResource.h"

namespace qvx::cli::test {
namespace {

using namespace qvx::branding;
using Edit = std::function<void(Bytes&)>;

Resource Res(std::uint32_t type, ResourceKey name, std::uint32_t language, const std::string& data) {
    return {ResourceKey::Number(type), std::move(name), ResourceKey::Number(language), 0,
            Bytes(data.begin(), data.end())};
}
ResourceKey Named(const std::u16string& name) { return ResourceKey{0, name}; }

std::string FaultOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const BrandingError& e) {
        return e.what();
    }
    return "(no fault)";
}

std::uint32_t U32(const Bytes& b, std::size_t at) { return ByteReader(b).U32(at); }

TEST(ResourceDirectory, OneResourceIsLaidOutAsResourceCompilersDo) {
    ResourceSet set;
    set.Put(Res(16, ResourceKey::Number(1), 0x409, "abcd"));
    // clang-format off
    const Bytes expected = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 16, 0, 0, 0, 24, 0, 0, 0x80,  // root: type 16
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 48, 0, 0, 0x80,   // names: 1
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 9, 4, 0, 0, 72, 0, 0, 0,      // languages: 0409
        88, 0x10, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                           // data entry
        'a', 'b', 'c', 'd', 0, 0, 0, 0};
    // clang-format on
    EXPECT_EQ(BuildResourceDirectory(set, 0x1000), expected);
}

TEST(ResourceDirectory, NamesComeFirstIgnoringCaseAndEverythingReadsBack) {
    ResourceSet set;
    set.Put(Res(24, ResourceKey::Number(1), 0x409, "manifest"));
    set.Put(Res(3, ResourceKey::Number(2), 0x407, "icon two, German"));
    set.Put(Res(3, ResourceKey::Number(2), 0x409, "icon two"));
    set.Put({Named(u"zeta"), Named(u"b"), ResourceKey::Number(0), 1252, Bytes{1, 2, 3}});
    set.Put({Named(u"Alpha"), Named(u"NAME"), Named(u"lang"), 0, Bytes(100, 7)});
    const Bytes dir = BuildResourceDirectory(set, 0x5000);
    EXPECT_EQ(ByteReader(dir).U16(12), 2);  // two named types
    EXPECT_EQ(ByteReader(dir).U16(14), 2);  // two numbered types
    const ResourceSet back = ParseResourceDirectory(dir, 0x5000);
    ASSERT_EQ(back.Items().size(), 5u);
    EXPECT_EQ(back.Items()[0].Type.Text(), "Alpha");
    EXPECT_EQ(back.Items()[0].Language.Text(), "lang");
    EXPECT_EQ(back.Items()[1].Type.Text(), "zeta");
    EXPECT_EQ(back.Items()[1].CodePage, 1252u);
    EXPECT_EQ(back.Items()[2].Language, ResourceKey::Number(0x407));
    EXPECT_EQ(back.Items()[4].Type, ResourceKey::Number(24));
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(back.Items()[i].Data, set.Items()[i].Data) << i;
    EXPECT_EQ(BuildResourceDirectory(back, 0x5000), dir);
}

TEST(ResourceDirectory, DamagedDirectoriesAreRefusedWithTheirFault) {
    ResourceSet set;
    set.Put(Res(16, ResourceKey::Number(1), 0x409, "abcd"));
    const Bytes good = BuildResourceDirectory(set, 0x1000);
    const struct {
        const char* what;
        Edit edit;
        const char* fault;
    } cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, "the type table at offset 0 lies past the end"},
        {"entry count too large", [](Bytes& b) { Put16(b, 14, 500); }, "runs past the end of the section"},
        {"a table pointing at itself", [](Bytes& b) { Put32(b, 20, 0x80000000u); }, "is reached twice"},
        {"data outside the section", [](Bytes& b) { Put32(b, 72, 0x2000); }, "lies outside the section"},
        {"data running past the section", [](Bytes& b) { Put32(b, 76, 9); }, "lies outside the section"},
        {"a numbered entry counted as named", [](Bytes& b) { Put16(b, 12, 1), Put16(b, 14, 0); }, "should be named"},
        {"data on the type level", [](Bytes& b) { Put32(b, 20, 72); }, "points at data instead of a table"},
        {"a table on the language level", [](Bytes& b) { Put32(b, 68, 0x80000000u | 24); },
         "points at a table instead of data"},
        {"a name past the end", [](Bytes& b) { Put16(b, 12, 1), Put16(b, 14, 0), Put32(b, 16, 0x80000000u | 5000); },
         "past the end"},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        c.edit(b);
        EXPECT_NE(FaultOf([&] { ParseResourceDirectory(b, 0x1000); }).find(c.fault), std::string::npos)
            << c.what << ": " << FaultOf([&] { ParseResourceDirectory(b, 0x1000); });
    }
    set.Put(Res(24, ResourceKey::Number(1), 0x409, "x"));
    Bytes twice = BuildResourceDirectory(set, 0x1000);
    Put32(twice, 24, 16);  // the root's second type is 16 as well
    EXPECT_NE(FaultOf([&] { ParseResourceDirectory(twice, 0x1000); }).find("holds the key 16 twice"),
              std::string::npos);
}

ResourceSet SmallSet() {
    ResourceSet set;
    set.Put(Res(16, ResourceKey::Number(1), 0x409, "version"));
    set.Put(Res(24, ResourceKey::Number(1), 0x409, "<assembly/>"));
    return set;
}

TEST(ResourceSection, ALargerSectionMovesTheRelocationsAndUpdatesEveryHeaderField) {
    const Bytes image = MakeImage(SmallSet());
    for (const std::size_t dataSize : {std::size_t{5000}, std::size_t{9000}, std::size_t{1}}) {
        ResourceSet set = SmallSet();
        set.Put(Res(3, ResourceKey::Number(1), 0x409, std::string(dataSize, 'i')));
        const Bytes out = ReplaceResources(image, set);
        const PeImage before = ReadPeImage(image);
        const PeImage after = ReadPeImage(out);
        const Section& rsrc = after.Sections[1];
        const Section& reloc = after.Sections[2];
        const std::size_t size = BuildResourceDirectory(set, 0x2000).size();
        const auto raw = static_cast<std::uint32_t>((size + 0x1FF) / 0x200 * 0x200);
        const auto relocVa = static_cast<std::uint32_t>(0x2000 + (size + 0xFFF) / 0x1000 * 0x1000);
        EXPECT_EQ(rsrc.VirtualSize, size) << dataSize;
        EXPECT_EQ(rsrc.SizeOfRawData, raw);
        EXPECT_EQ(reloc.VirtualAddress, relocVa);
        EXPECT_EQ(reloc.PointerToRawData, 0x600 + raw);
        EXPECT_EQ(after.Directory(kDirectoryResource).Size, size);
        EXPECT_EQ(after.Directory(kDirectoryBaseRelocation).Rva, relocVa);
        EXPECT_EQ(after.SizeOfImage, relocVa + 0x1000);
        EXPECT_EQ(U32(out, after.SizeOfInitializedDataField()), raw + 0x200);
        EXPECT_EQ(out.size(), 0x600 + raw + 0x200);
        TMemoryStream stream(out);
        EXPECT_EQ(after.Checksum, pe::PeChecksum(stream, static_cast<std::uint32_t>(after.ChecksumField())));
        // Everything in front of the resources but the changed fields, and the relocations, as they were.
        Bytes front(out.begin(), out.begin() + 0x600);
        for (const std::size_t field :
             {after.SizeOfInitializedDataField(), after.SizeOfImageField(), after.ChecksumField(),
              after.DirectoryTable + 8 * 2 + 4, after.DirectoryTable + 8 * 5, rsrc.HeaderOffset + 8,
              rsrc.HeaderOffset + 16, reloc.HeaderOffset + 12, reloc.HeaderOffset + 20})
            for (std::size_t i = 0; i < 4; ++i) front[field + i] = image[field + i];
        EXPECT_TRUE(std::equal(front.begin(), front.end(), image.begin()));
        EXPECT_TRUE(std::equal(out.end() - 0x200, out.end(), image.end() - 0x200));
        EXPECT_EQ(ReadResources(out).Items().size(), 3u);
        EXPECT_EQ(ReplaceResources(image, set), out) << "the same inputs, the same bytes";
        static_cast<void>(before);
    }
}

TEST(ResourceSection, LayoutsItDoesNotHandleAreRefusedWithTheReason) {
    const Bytes good = MakeImage(SmallSet());
    const PeImage pe = ReadPeImage(good);
    const struct {
        const char* what;
        Edit edit;
        const char* fault;
    } cases[] = {
        {"signed",
         [&](Bytes& b) { Put32(b, pe.DirectoryTable + 8 * 4, 0x5000), Put32(b, pe.DirectoryTable + 8 * 4 + 4, 8); },
         "the launcher is signed"},
        {"COFF symbols", [&](Bytes& b) { Put32(b, pe.CoffHeader + 8, 0x100); }, "COFF symbols"},
        {"an overlay", [](Bytes& b) { b.push_back(0); }, "1 byte follows the launcher's last section"},
        {"cut short", [](Bytes& b) { b.pop_back(); }, "cut short"},
        {"a TLS directory behind the resources",
         [&](Bytes& b) { Put32(b, pe.DirectoryTable + 8 * 9, 0x2100), Put32(b, pe.DirectoryTable + 8 * 9 + 4, 8); },
         "the TLS directory lies in or behind the resources"},
        {"another section behind the resources", [&](Bytes& b) { Put32(b, pe.DirectoryTable + 8 * 5, 0); },
         "section .reloc follows the resource section"},
        {"no resources",
         [&](Bytes& b) { Put32(b, pe.DirectoryTable + 8 * 2, 0), Put32(b, pe.DirectoryTable + 8 * 2 + 4, 0); },
         "no resource section"},
        {"resources in the middle of a section", [&](Bytes& b) { Put32(b, pe.DirectoryTable + 8 * 2, 0x2010); },
         "does not start its section"},
        {"file alignment over section alignment", [&](Bytes& b) { Put32(b, pe.OptionalHeader + 36, 0x2000); },
         "alignment"},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        c.edit(b);
        const std::string fault = FaultOf([&] { ReplaceResources(b, SmallSet()); });
        EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
    }
    const Bytes relocatedResources = MakeImage(SmallSet(), {.RelocationTarget = 0x2008});
    EXPECT_NE(FaultOf([&] {
                  ReplaceResources(relocatedResources, SmallSet());
              }).find("base relocation points into the resources"),
              std::string::npos);
    EXPECT_EQ(ReplaceResources(MakeImage(SmallSet(), {.Relocations = false}), SmallSet()).size(), 0x800u);
    // Headers that end before the data directories carry no resources.
    Bytes short_ = PeHeaderBytes();
    PutLe(short_, kPeOffset + 20, 68, 2);
    EXPECT_TRUE(ReadResources(short_).Empty());
    EXPECT_NE(FaultOf([&] { ReplaceResources(short_, SmallSet()); }).find("no resource section"), std::string::npos);
}

// An icon file of bitmaps and PNGs; each image (width, bits, png) laid out behind the directory.
struct IconSpec {
    std::uint32_t Side;
    std::uint16_t Bits;
    bool Png;
};

std::uint32_t Crc(const Bytes& b) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : b) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320u : 0);
    }
    return ~crc;
}

void AppendBe32(Bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}

void AppendChunk(Bytes& png, const std::string& type, const Bytes& data) {
    AppendBe32(png, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type.begin(), type.end());
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    AppendBe32(png, Crc(typed));
}

Bytes ImageBytes(const IconSpec& s) {
    Bytes b;
    if (s.Png) {
        b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        Bytes header;
        AppendBe32(header, s.Side);
        AppendBe32(header, s.Side);
        header.insert(header.end(), {8, 6, 0, 0, 0});
        AppendChunk(b, "IHDR", header);
        AppendChunk(b, "IDAT", Bytes(20, 0x55));
        AppendChunk(b, "IEND", {});
        return b;
    }
    Append32(b, 40);
    Append32(b, s.Side);
    Append32(b, 2 * s.Side);
    Append16(b, 1);
    Append16(b, s.Bits);
    b.resize(40, 0);
    const std::size_t palette = s.Bits <= 8 ? (std::size_t{1} << s.Bits) * 4 : 0;
    const std::size_t rows = ((s.Side * s.Bits + 31) / 32 * 4 + (s.Side + 31) / 32 * 4) * s.Side;
    b.resize(40 + palette + rows, 0x11);
    return b;
}

Bytes IconFileBytes(const std::vector<IconSpec>& specs) {
    Bytes file;
    Append16(file, 0);
    Append16(file, 1);
    Append16(file, static_cast<std::uint32_t>(specs.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(specs.size());
    Bytes images;
    for (const IconSpec& s : specs) {
        const Bytes image = ImageBytes(s);
        file.push_back(static_cast<std::uint8_t>(s.Side & 0xFF));
        file.push_back(static_cast<std::uint8_t>(s.Side & 0xFF));
        file.insert(file.end(), {0, 0});
        Append16(file, 1);
        Append16(file, s.Bits);
        Append32(file, static_cast<std::uint32_t>(image.size()));
        Append32(file, offset + static_cast<std::uint32_t>(images.size()));
        images.insert(images.end(), image.begin(), image.end());
    }
    file.insert(file.end(), images.begin(), images.end());
    return file;
}

TEST(IconFile, BitmapsAndPngsAreReadAndGroupedById) {
    const std::vector<IconSpec> specs = {{16, 4, false}, {32, 32, false}, {256, 32, true}, {48, 1, false}};
    const std::vector<IconImage> images = ReadIconFile(IconFileBytes(specs));
    ASSERT_EQ(images.size(), 4u);
    EXPECT_EQ(images[0].Describe(), "16x16 4-bit");
    EXPECT_EQ(images[2].Describe(), "256x256 PNG");
    EXPECT_EQ(images[3].Describe(), "48x48 1-bit");
    for (std::size_t i = 0; i < specs.size(); ++i) EXPECT_EQ(images[i].Data, ImageBytes(specs[i])) << i;
    const Bytes group = BuildGroupIcon(images, 7);
    ASSERT_EQ(group.size(), 6u + 4 * 14);
    EXPECT_EQ(Bytes(group.begin(), group.begin() + 6), (Bytes{0, 0, 1, 0, 4, 0}));
    // The 256x256 entry: size 0 in the byte, 1 plane, 32 bits, its length, id 9.
    const Bytes third(group.begin() + 6 + 2 * 14, group.begin() + 6 + 3 * 14);
    const auto length = static_cast<std::uint32_t>(images[2].Data.size());
    EXPECT_EQ(third, (Bytes{0, 0, 0, 0, 1, 0, 32, 0, static_cast<std::uint8_t>(length),
                            static_cast<std::uint8_t>(length >> 8), 0, 0, 9, 0}));
    const auto entries = ReadGroupIcon(group);
    EXPECT_EQ(entries[2].Width, 256u);
    EXPECT_EQ(entries[3].Id, 10);
}

TEST(IconFile, MalformedIconFilesAreRefusedWithTheirFault) {
    const Bytes good = IconFileBytes({{16, 8, false}, {48, 32, true}});
    const std::size_t png = 6 + 32 + ImageBytes({16, 8, false}).size();
    const struct {
        const char* what;
        Edit edit;
        const char* fault;
    } cases[] = {
        {"cut in its header", [](Bytes& b) { b.resize(5); }, "cut short in its header"},
        {"no images", [](Bytes& b) { Put16(b, 4, 0); }, "holds no images"},
        {"a cursor", [](Bytes& b) { Put16(b, 2, 2); }, "a cursor file"},
        {"directory past the end", [](Bytes& b) { Put16(b, 4, 1000); }, "directory of 1000 images ends past the file"},
        {"an image past the end", [](Bytes& b) { b.resize(b.size() - 1); }, "image 2 ("},
        {"an image inside the directory", [](Bytes& b) { Put32(b, 6 + 12, 10); }, "image 1 starts inside"},
        {"size larger than the bitmap", [](Bytes& b) { Put32(b, 6 + 8, ByteReader(b).U32(6 + 8) + 4); },
         "image 1: the directory gives"},
        {"a PNG with a bad CRC", [png](Bytes& b) { b[png + 20] ^= 1; },
         "image 2 is not a valid PNG: the CRC of chunk IHDR"},
        {"a PNG whose IEND is missing", [png](Bytes& b) { Put32(b, 6 + 16 + 8, ByteReader(b).U32(6 + 16 + 8) - 12); },
         "image 2 is not a valid PNG: a chunk"},
        {"a PNG whose signature is damaged", [png](Bytes& b) { b[png + 5] = 0; }, "no PNG signature"},
        {"neither PNG nor bitmap", [](Bytes& b) { b[6 + 32] = 'G'; }, "neither a PNG nor a bitmap"},
        {"directory and image sizes differ", [](Bytes& b) { b[6] = 32, b[7] = 32; },
         "the directory says 32x32, the image is 16x16"},
        {"bitmap with two planes", [](Bytes& b) { b[6 + 32 + 12] = 2; }, "2 planes"},
        {"a compressed bitmap", [](Bytes& b) { b[6 + 32 + 16] = 1; }, "compressed"},
        {"an empty image", [](Bytes& b) { Put32(b, 6 + 8, 0); }, "image 1 is empty"},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        c.edit(b);
        const std::string fault = FaultOf([&] { ReadIconFile(b); });
        EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
    }
    const Bytes tooLarge = IconFileBytes({{300, 32, true}});
    EXPECT_NE(FaultOf([&] { ReadIconFile(tooLarge); }).find("icons are 1x1 to 256x256"), std::string::npos);
}

TEST(VersionResource, VersionNumbersAreUpToFourNumbersBelow65536) {
    const struct {
        const char* text;
        std::array<std::uint16_t, 4> parts;
        const char* why;  // "" when valid
    } cases[] = {
        {"2", {2, 0, 0, 0}, ""},
        {"2.3.4.5", {2, 3, 4, 5}, ""},
        {"65535.0.1", {65535, 0, 1, 0}, ""},
        {"1.2.3.4.5", {}, "more than four numbers"},
        {"1.65536", {}, "65536 is over 65535"},
        {"99999999999", {}, "is over 65535"},
        {"1..2", {}, "'' is not a number"},
        {"", {}, "is not a number"},
        {"1.", {}, "is not a number"},
        {"v1", {}, "'v1' is not a number"},
        {"-1", {}, "is not a number"},
        {"1.2 ", {}, "is not a number"},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto v = ParseVersionNumber(c.text, &why);
        EXPECT_EQ(v.has_value(), *c.why == 0) << c.text << ": " << why;
        if (v) {
            EXPECT_EQ(v->Parts, c.parts) << c.text;
        } else {
            EXPECT_NE(why.find(c.why), std::string::npos) << c.text << ": " << why;
        }
    }
}

// A version information block as the format lays it out: header, key, padding, value, padding, children.
Bytes VersionBlock(const std::u16string& key, std::uint16_t type, const Bytes& value, std::uint16_t valueLength,
                   const std::vector<Bytes>& children) {
    Bytes b(6, 0);
    for (const char16_t c : key) Append16(b, c);
    Append16(b, 0);
    PadTo(b, 4);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        PadTo(b, 4);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put16(b, 0, static_cast<std::uint32_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    return b;
}

Bytes TextBlock(const std::u16string& key, const std::u16string& text) {
    Bytes value;
    for (const char16_t c : text) Append16(value, c);
    Append16(value, 0);
    return VersionBlock(key, 1, value, static_cast<std::uint16_t>(text.size() + 1), {});
}

TEST(VersionResource, EditsSetTheNumbersAndStringsOfEveryLanguageAndKeepTheRest) {
    std::string why;
    VersionEdits edits;
    edits.FileVersion = ParseVersionNumber("2.3.4.5", &why);
    edits.ProductVersion = ParseVersionNumber("7.1", &why);
    edits.Strings = {
        {"FileVersion", "2.3.4.5"}, {"CompanyName", "Example"}, {"companyname", "Later wins"}, {"Comments", "Grüße"}};
    const VersionSummary fresh = ReadVersionResource(EditVersionResource({}, edits));
    EXPECT_EQ(VersionText(fresh.FileVersion), "2.3.4.5");
    EXPECT_EQ(VersionText(fresh.ProductVersion), "7.1.0.0");
    ASSERT_EQ(fresh.Tables.size(), 1u);
    EXPECT_EQ(fresh.Tables[0].Language, "040904B0");
    using Strings = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(fresh.Tables[0].Strings,
              (Strings{{"FileVersion", "2.3.4.5"}, {"CompanyName", "Later wins"}, {"Comments", "Grüße"}}));

    // Two languages with strings of their own, written by hand: both get the edits, the rest stays.
    const Bytes fixed = [] {
        Bytes f(52, 0);
        Put32(f, 0, 0xFEEF04BD);
        Put32(f, 8, 0x00010002);
        return f;
    }();
    const Bytes two = VersionBlock(
        u"VS_VERSION_INFO", 0, fixed, 52,
        {VersionBlock(u"StringFileInfo", 1, {}, 0,
                      {VersionBlock(u"040704B0", 1, {}, 0,
                                    {TextBlock(u"ProductName", u"Produkt"), TextBlock(u"InternalName", u"Setup")}),
                       VersionBlock(u"040904B0", 1, {}, 0, {TextBlock(u"ProductName", u"Product")})}),
         VersionBlock(u"VarFileInfo", 1, {}, 0,
                      {VersionBlock(u"Translation", 0, {7, 4, 0xB0, 4, 9, 4, 0xB0, 4}, 8, {})})});
    EXPECT_EQ(ReadVersionResource(two).Tables[0].Strings,
              (Strings{{"ProductName", "Produkt"}, {"InternalName", "Setup"}}));
    VersionEdits change;
    change.Strings = {{"PRODUCTNAME", "Mine"}, {"OriginalFilename", "MySetup.exe"}};
    const Bytes edited = EditVersionResource(two, change);
    const VersionSummary changed = ReadVersionResource(edited);
    ASSERT_EQ(changed.Tables.size(), 2u);
    EXPECT_EQ(changed.Tables[0].Language, "040704B0");
    EXPECT_EQ(changed.Tables[0].Strings,
              (Strings{{"ProductName", "Mine"}, {"InternalName", "Setup"}, {"OriginalFilename", "MySetup.exe"}}));
    EXPECT_EQ(changed.Tables[1].Strings, (Strings{{"ProductName", "Mine"}, {"OriginalFilename", "MySetup.exe"}}));
    EXPECT_EQ(VersionText(changed.FileVersion), "1.2.0.0");
    // The translation block is kept byte for byte at the end.
    EXPECT_TRUE(std::equal(two.end() - 40, two.end(), edited.end() - 40));
    EXPECT_EQ(EditVersionResource(two, VersionEdits{}), two);
}

TEST(VersionResource, TooLongStringsAndDamagedResourcesAreRefused) {
    EXPECT_EQ(VersionStringFault("CompanyName", std::string(32000, 'x')), "");
    EXPECT_NE(VersionStringFault("CompanyName", std::string(33000, 'x')).find("too long for the version information"),
              std::string::npos);
    EXPECT_NE(VersionStringFault("", "x").find("empty"), std::string::npos);
    EXPECT_NE(VersionStringFault("Key", "\xFF").find("not UTF-8"), std::string::npos);
    VersionEdits many;
    for (int i = 0; i < 3; ++i) many.Strings.emplace_back("Key" + std::to_string(i), std::string(30000, 'x'));
    EXPECT_NE(FaultOf([&] { EditVersionResource({}, many); }).find("more than its 65535"), std::string::npos);

    const Bytes good = EditVersionResource({}, VersionEdits{});
    const struct {
        const char* what;
        Edit edit;
        const char* fault;
    } cases[] = {
        {"cut short", [](Bytes& b) { b.resize(4); }, "cut short"},
        {"length past the end", [](Bytes& b) { Put16(b, 0, static_cast<std::uint32_t>(b.size() + 4)); },
         "does not fit"},
        {"another first block", [](Bytes& b) { b[6] = 'X'; }, "not VS_VERSION_INFO"},
        {"no fixed information", [](Bytes& b) { b[40] ^= 0xFF; }, "no fixed file information"},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        c.edit(b);
        const std::string fault = FaultOf([&] { ReadVersionResource(b); });
        EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
    }
}

TEST(Manifest, WellFormedAndMalformedXml) {
    const char* good[] = {
        "<assembly/>",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c --><assembly a='1' "
        "b=\"&lt;&#65;&#x42;\"><![CDATA[<x>]]>t&amp;<?pi x?></assembly>\n",
        "<asm:assembly xmlns:asm=\"urn:x\"><asm:x/></asm:assembly>",
    };
    for (const char* text : good) EXPECT_EQ(FaultOf([&] { CheckManifest(text); }), "(no fault)") << text;
    const struct {
        const char* text;
        const char* fault;
    } bad[] = {
        {"", "no root element"},
        {"<assembly>", "<assembly> is not closed"},
        {"<assembly><a></b></assembly>", "</b> closes <a>"},
        {"<assembly a='1' a='2'/>", "attribute a twice"},
        {"<assembly a=1/>", "without quotes"},
        {"<assembly a='<'/>", "'<' in an attribute value"},
        {"<assembly>&nbsp;</assembly>", "unknown entity &nbsp;"},
        {"<assembly>&#0;</assembly>", "bad character reference"},
        {"<!DOCTYPE x><assembly/>", "DOCTYPE"},
        {"<assembly/><assembly/>", "content after the root element"},
        {"text<assembly/>", "text outside the root element"},
        {"<assembly>\xC0\x80</assembly>", "not UTF-8"},
        {"<assembly>\x01</assembly>", "control character"},
        {"<assembly><!-- a -- b --></assembly>", "'--' inside a comment"},
        {"<assembly/>\n<?xml version='1.0'?>", "XML declaration"},
        {"<application/>", "the root element is <application>, not <assembly>"},
    };
    for (const auto& c : bad) {
        const std::string fault = FaultOf([&] { CheckManifest(c.text); });
        EXPECT_NE(fault.find(c.fault), std::string::npos) << c.text << ": " << fault;
    }
    EXPECT_NE(FaultOf([] { CheckManifest("<assembly>\n\n<a>"); }).find("(line 3)"), std::string::npos);
}

TEST(Manifest, TheExecutionLevelIsSetInPlaceOrAddedWhereItIsMissing) {
    const std::string trust = "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">";
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"<assembly><trustInfo><security><requestedPrivileges><requestedExecutionLevel level=\"asInvoker\" "
         "uiAccess=\"false\"/>"
         "</requestedPrivileges></security></trustInfo></assembly>",
         "<assembly><trustInfo><security><requestedPrivileges><requestedExecutionLevel level=\"highestAvailable\" "
         "uiAccess=\"false\"/></requestedPrivileges></security></trustInfo></assembly>"},
        {"<assembly><requestedExecutionLevel uiAccess='false'/></assembly>",
         "<assembly><requestedExecutionLevel level=\"highestAvailable\" uiAccess='false'/></assembly>"},
        {"<assembly>\n</assembly>",
         "<assembly>\n" + trust +
             "<security><requestedPrivileges><requestedExecutionLevel level=\"highestAvailable\" "
             "uiAccess=\"false\"/></requestedPrivileges></security></trustInfo></assembly>"},
        {"<a:assembly xmlns:a='x' xmlns:v3='y'><v3:trustInfo><v3:security/></v3:trustInfo></a:assembly>",
         "<a:assembly xmlns:a='x' "
         "xmlns:v3='y'><v3:trustInfo><v3:security><v3:requestedPrivileges><v3:requestedExecutionLevel "
         "level=\"highestAvailable\" "
         "uiAccess=\"false\"/></v3:requestedPrivileges></v3:security></v3:trustInfo></a:assembly>"},
    };
    for (const auto& c : cases) {
        const std::string out = SetExecutionLevel(c.in, "highestAvailable");
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(ExecutionLevelOf(out), "highestAvailable");
    }
    const std::string minimal = MinimalManifest("requireAdministrator");
    EXPECT_EQ(FaultOf([&] { CheckManifest(minimal); }), "(no fault)");
    EXPECT_EQ(ExecutionLevelOf(minimal), "requireAdministrator");
    EXPECT_EQ(ExecutionLevelOf("<assembly/>"), std::nullopt);
}

}  // namespace
}  // namespace qvx::cli::test
