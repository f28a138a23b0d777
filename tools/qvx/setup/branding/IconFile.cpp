#include "setup/branding/IconFile.h"

#include <array>

#include "setup/branding/BrandingError.h"

namespace qvx::branding {

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::uint32_t kMaxSide = 256;
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t BigEndian32(ByteSpan b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

std::uint32_t Crc32(ByteSpan bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Size(std::uint32_t w, std::uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

// Walks the chunks of a PNG file: the signature, IHDR first, every chunk's CRC, IEND at the end
// of the bytes. Sets the image's size from IHDR.
void CheckPng(ByteSpan png, IconImage& image, const std::string& which) {
    const auto fault = [&](const std::string& what) { return BrandingError(which + " is not a valid PNG: " + what); };
    if (png.size() < kPngSignature.size() || !std::equal(kPngSignature.begin(), kPngSignature.end(), png.begin()))
        throw fault("no PNG signature");
    std::size_t at = kPngSignature.size();
    bool first = true;
    for (;;) {
        if (png.size() - at < 12) throw fault("a chunk is cut short");
        const std::uint32_t length = BigEndian32(png, at);
        if (length > png.size() - at - 12) throw fault("a chunk runs past the end of the image");
        const ByteSpan typeAndData = png.subspan(at + 4, 4 + std::size_t{length});
        const std::string type(typeAndData.begin(), typeAndData.begin() + 4);
        if (Crc32(typeAndData) != BigEndian32(png, at + 8 + length))
            throw fault("the CRC of chunk " + type + " does not match");
        if (first) {
            if (type != "IHDR" || length != 13) throw fault("it does not start with its IHDR chunk");
            image.Width = BigEndian32(png, at + 8);
            image.Height = BigEndian32(png, at + 12);
            first = false;
        }
        at += 12 + std::size_t{length};
        if (type == "IEND") break;
    }
    if (at != png.size()) throw fault(std::to_string(png.size() - at) + " bytes follow its IEND chunk");
}

// Checks a bitmap image's header and that its size is the one its header gives.
void CheckBitmap(ByteSpan bmp, IconImage& image, const std::string& which) {
    const ByteReader r(bmp);
    const auto fault = [&](const std::string& what) { return BrandingError(which + ": " + what); };
    const std::uint32_t headerSize = r.Has(0, 4) ? r.U32(0) : 0;
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        throw fault("neither a PNG nor a bitmap");
    if (!r.Has(0, headerSize)) throw fault("the bitmap header is cut short");
    const auto width = static_cast<std::int32_t>(r.U32(4));
    const auto height = static_cast<std::int32_t>(r.U32(8));
    const std::uint32_t planes = r.U16(12);
    const std::uint32_t bits = r.U16(14);
    const std::uint32_t compression = r.U32(16);
    const std::uint32_t coloursUsed = r.U32(32);
    if (width <= 0 || height <= 0 || height % 2 != 0)
        throw fault("the bitmap's size " + std::to_string(width) + "x" + std::to_string(height) + " is not an icon's");
    if (planes != 1) throw fault("the bitmap has " + std::to_string(planes) + " planes");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw fault("the bitmap has " + std::to_string(bits) + " bits per pixel");
    if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32)))
        throw fault("the bitmap is compressed (method " + std::to_string(compression) + ")");
    if (bits <= 8 && coloursUsed > (1u << bits))
        throw fault("the bitmap's palette holds more colours than its pixels can name");
    image.Width = static_cast<std::uint32_t>(width);
    image.Height = static_cast<std::uint32_t>(height) / 2;
    image.Planes = 1;
    image.BitCount = static_cast<std::uint16_t>(bits);
    if (image.Width > kMaxSide || image.Height > kMaxSide) return;  // the caller names the size
    const std::uint64_t palette = coloursUsed != 0 ? coloursUsed : bits <= 8 ? (1u << bits) : 0;
    const std::uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
    const std::uint64_t colourRow = (std::uint64_t{image.Width} * bits + 31) / 32 * 4;
    const std::uint64_t maskRow = (std::uint64_t{image.Width} + 31) / 32 * 4;
    const std::uint64_t expected = headerSize + masks + 4 * palette + (colourRow + maskRow) * image.Height;
    if (expected != bmp.size())
        throw fault("the directory gives " + std::to_string(bmp.size()) + " bytes, the " +
                    Size(image.Width, image.Height) + " bitmap holds " + std::to_string(expected));
}

}  // namespace

std::string IconImage::Describe() const {
    // Appended piece by piece: g++ 12 at -O3 sees a false overlap in " " + std::string (an insert
    // at the front) and, with warnings as errors, fails.
    std::string text = Size(Width, Height);
    if (Png) return text + " PNG";
    return text + " " + std::to_string(BitCount) + "-bit";
}

std::vector<IconImage> ReadIconFile(ByteSpan file) {
    const ByteReader r(file);
    if (!r.Has(0, kDirectorySize)) throw BrandingError("not an icon file: cut short in its header");
    if (r.U16(0) != 0 || r.U16(2) != 1)
        throw BrandingError(r.U16(0) == 0 && r.U16(2) == 2 ? "a cursor file, not an icon file" : "not an icon file");
    const std::uint32_t count = r.U16(4);
    if (count == 0) throw BrandingError("the icon file holds no images");
    const std::uint64_t directoryEnd = kDirectorySize + std::uint64_t{count} * kFileEntrySize;
    if (!r.Has(0, directoryEnd))
        throw BrandingError("the icon file is cut short: its directory of " + std::to_string(count) +
                            " images ends past the file");
    std::vector<IconImage> images;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = kDirectorySize + std::uint64_t{i} * kFileEntrySize;
        const std::string which = "image " + std::to_string(i + 1);
        const std::uint32_t dirWidth = r.U8(entry) == 0 ? kMaxSide : r.U8(entry);
        const std::uint32_t dirHeight = r.U8(entry + 1) == 0 ? kMaxSide : r.U8(entry + 1);
        const std::uint32_t size = r.U32(entry + 8);
        const std::uint32_t offset = r.U32(entry + 12);
        if (size == 0) throw BrandingError(which + " is empty");
        if (offset < directoryEnd) throw BrandingError(which + " starts inside the icon file's directory");
        if (!r.Has(offset, size))
            throw BrandingError(which + " (" + std::to_string(size) + " bytes at offset " + std::to_string(offset) +
                                ") runs past the end of the file (" + std::to_string(file.size()) + " bytes)");
        IconImage image;
        const ByteSpan data = r.Slice(offset, size);
        image.Colours = r.U8(entry + 2);
        image.Planes = r.U16(entry + 4);
        image.BitCount = r.U16(entry + 6);
        image.Png = data.size() >= 4 && std::equal(kPngSignature.begin(), kPngSignature.begin() + 4, data.begin());
        if (image.Png) {
            CheckPng(data, image, which);
            if (image.Planes == 0) image.Planes = 1;
            if (image.BitCount == 0) image.BitCount = 32;
        } else {
            CheckBitmap(data, image, which);
        }
        if (image.Width == 0 || image.Height == 0 || image.Width > kMaxSide || image.Height > kMaxSide)
            throw BrandingError(which + " is " + Size(image.Width, image.Height) + "; icons are 1x1 to 256x256");
        if (image.Width != dirWidth || image.Height != dirHeight)
            throw BrandingError(which + ": the directory says " + Size(dirWidth, dirHeight) + ", the image is " +
                                Size(image.Width, image.Height));
        image.Data.assign(data.begin(), data.end());
        images.push_back(std::move(image));
    }
    return images;
}

Bytes BuildGroupIcon(const std::vector<IconImage>& images, std::uint16_t firstId) {
    Bytes out;
    Append16(out, 0);
    Append16(out, 1);
    Append16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t id = firstId;
    for (const IconImage& image : images) {
        out.push_back(static_cast<std::uint8_t>(image.Width == kMaxSide ? 0 : image.Width));
        out.push_back(static_cast<std::uint8_t>(image.Height == kMaxSide ? 0 : image.Height));
        out.push_back(image.Colours);
        out.push_back(0);
        Append16(out, image.Planes);
        Append16(out, image.BitCount);
        Append32(out, static_cast<std::uint32_t>(image.Data.size()));
        Append16(out, id++);
    }
    return out;
}

std::vector<GroupIconEntry> ReadGroupIcon(ByteSpan group) {
    const ByteReader r(group);
    if (!r.Has(0, kDirectorySize) || r.U16(0) != 0 || r.U16(2) != 1)
        throw BrandingError("the icon group's header is damaged");
    const std::uint32_t count = r.U16(4);
    if (!r.Has(kDirectorySize, std::uint64_t{count} * kGroupEntrySize))
        throw BrandingError("the icon group is cut short");
    std::vector<GroupIconEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = kDirectorySize + std::uint64_t{i} * kGroupEntrySize;
        entries.push_back({r.U8(at) == 0 ? kMaxSide : r.U8(at), r.U8(at + 1) == 0 ? kMaxSide : r.U8(at + 1),
                           r.U16(at + 6), r.U32(at + 8), r.U16(at + 12)});
    }
    return entries;
}

}  // namespace qvx::branding
