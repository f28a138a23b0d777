// The one test of whether bytes start an archive: the magic "SPIS" 0x1A that opens every archive
// header. Deciding what an input is and checking a block of a setup file both ask it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include <instcompress/ArchiveFormat.h>

namespace qvx::cli {

// Whether bytes begin with the archive magic (fewer bytes than the magic: no).
[[nodiscard]] inline bool StartsWithArchiveMagic(std::span<const std::uint8_t> bytes) noexcept {
    return bytes.size() >= kArchiveMagic.size() &&
           std::equal(kArchiveMagic.begin(), kArchiveMagic.end(), bytes.begin());
}

}  // namespace qvx::cli
