// The resource section of a Windows program: finding its directory, reading its resources, and
// writing the program again with a new resource section.
//
// A new resource section changes the size of the section and so the place of every section
// behind it. The rewrite handles the layout linkers give a program such as Setup.exe: the
// resource section last, or followed only by the base relocations (whose content, RVAs of code
// and data in front of the resources, stays as it is; only their own place moves). It updates
// the section headers, the resource and base relocation directories, SizeOfImage,
// SizeOfInitializedData and the checksum; every other byte in front of the resource section
// stays as it was. It refuses a signed program (the signature would no longer match), COFF
// symbols, bytes behind the last section, and anything else that points behind the resources.
#pragma once

#include <cstdint>

#include "setup/branding/LittleEndian.h"
#include "setup/branding/PeImage.h"
#include "setup/branding/ResourceDirectory.h"

namespace qvx::branding {

struct ResourceLocation {
    bool Present = false;          // the image has a resource directory
    int Section = -1;              // index of the section that holds it
    std::uint32_t Rva = 0;         // where the directory starts
    std::uint32_t FileOffset = 0;  // the same in the file
    std::uint32_t FileSize = 0;    // bytes from there to the end of the section's file data
};

// Where the resource directory lies; raises BrandingError when it lies in no section's file data.
ResourceLocation LocateResources(const PeImage& image);

// The resources of a whole image in memory (an empty set when it has none).
ResourceSet ReadResources(ByteSpan image);

// The image with its resource directory replaced by one of the resources, laid out again as the
// header comment says. Raises BrandingError with the reason for a layout it does not handle.
Bytes ReplaceResources(ByteSpan image, const ResourceSet& resources);

}  // namespace qvx::branding
