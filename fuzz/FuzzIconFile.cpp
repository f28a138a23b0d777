// The .ico reader on arbitrary bytes. Besides crashing, the target fails when anything but
// BrandingError escapes, when an accepted image is not 1x1 to 256x256 or does not lie in the
// file, or when the icon group made of the images does not read back to their sizes.
#include <algorithm>
#include <cstdlib>

#include "setup/branding/BrandingError.h"
#include "setup/branding/IconFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvx::branding;
    std::vector<IconImage> images;
    try {
        images = ReadIconFile(ByteSpan(data, size));
    } catch (const BrandingError&) {
        return 0;
    }
    if (images.empty()) std::abort();
    for (const IconImage& image : images) {
        if (image.Width < 1 || image.Width > 256 || image.Height < 1 || image.Height > 256) std::abort();
        if (image.Data.empty() || image.Data.size() > size) std::abort();
        if (std::search(data, data + size, image.Data.begin(), image.Data.end()) == data + size) std::abort();
    }
    const std::vector<GroupIconEntry> entries = ReadGroupIcon(BuildGroupIcon(images, 1));
    if (entries.size() != images.size()) std::abort();
    for (std::size_t i = 0; i < images.size(); ++i)
        if (entries[i].Width != images[i].Width || entries[i].Height != images[i].Height ||
            entries[i].Size != images[i].Data.size() || entries[i].Id != i + 1)
            std::abort();
    return 0;
}
