// Icons: the .ico file an author gives, and the two resources a program carries for one icon.
//
//   .ico file        u16 0, u16 type 1, u16 count; count entries of 16 bytes: u8 width,
//                    u8 height (0 means 256), u8 colours, u8 0, u16 planes, u16 bits per pixel,
//                    u32 size of the image, u32 its offset in the file; then the images
//   image            a PNG file, or a bitmap without its file header: BITMAPINFOHEADER
//                    (u32 header size, s32 width, s32 height of both masks, u16 planes,
//                    u16 bit count, u32 compression, ...), the palette, the colour rows, the
//                    1-bit transparency mask rows, each row padded to 4 bytes
//   RT_ICON          one resource per image, its bytes as they are
//   RT_GROUP_ICON    the .ico directory with each u32 offset replaced by the u16 RT_ICON id
//                    (14 bytes an entry)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/branding/LittleEndian.h"

namespace qvx::branding {

struct IconImage {
    std::uint32_t Width = 0;  // 1-256
    std::uint32_t Height = 0;
    std::uint8_t Colours = 0;  // as the directory entry says (0: 256 or more)
    std::uint16_t Planes = 0;
    std::uint16_t BitCount = 0;
    bool Png = false;
    Bytes Data;

    // "48x48 PNG", "32x32 32-bit".
    std::string Describe() const;
};

// The images of an .ico file, each checked against its directory entry. Raises BrandingError
// naming the fault: the file cut short, no images, an image outside the file, a size that
// disagrees with the image, a PNG that is not one, a bitmap whose header does not hold together.
std::vector<IconImage> ReadIconFile(ByteSpan file);

// The RT_GROUP_ICON resource of the images, whose RT_ICON ids are firstId, firstId + 1, ...
Bytes BuildGroupIcon(const std::vector<IconImage>& images, std::uint16_t firstId);

struct GroupIconEntry {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint16_t BitCount = 0;
    std::uint32_t Size = 0;
    std::uint16_t Id = 0;
};

// The entries of an RT_GROUP_ICON resource; raises BrandingError when it is damaged.
std::vector<GroupIconEntry> ReadGroupIcon(ByteSpan group);

}  // namespace qvx::branding
