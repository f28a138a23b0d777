#include "PayloadLocator.h"

#include <algorithm>
#include <array>

#include <instcompress/ByteOrder.h>
#include <instcompress/FileStream.h>

#include "SizeMarker.h"

namespace qvx::launcher {

namespace {

constexpr std::int32_t kOverlap = static_cast<std::int32_t>(kMarkerPatternLength);

}  // namespace

std::int32_t PayloadLocator(const std::string& path) {
    TFileStream file(path, FileMode::ReadShared);
    return PayloadLocator(file);
}

std::int32_t PayloadLocator(TStream& file) {
    const std::array<char, kMarkerPatternLength> pattern = MarkerPattern();
    file.SetPosition(0);
    // Sizes are compared as signed 32-bit values, as the offset field holds them.
    const auto fileSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(file.Size()));

    std::array<char, kScanWindowSize> window;
    std::int64_t start = 0;
    std::int32_t result = 0;
    std::int32_t n = file.Read(window.data(), kScanWindowSize);
    while (result == 0 && n > kOverlap) {
        const auto end = window.begin() + n;
        const auto hit = std::search(window.begin(), end, pattern.begin(), pattern.end());
        if (hit != end) {
            const std::int64_t field = start + (hit - window.begin()) + kOverlap;
            std::array<std::uint8_t, 4> bytes{};
            file.SetPosition(field);
            // A field cut short by the end of the file cannot hold an offset.
            if (file.Read(bytes.data(), 4) != 4) break;
            if (bytes[0] == static_cast<std::uint8_t>(kPlaceholderByte)) break;
            result = static_cast<std::int32_t>(LoadLe32(bytes.data()));
            if (result >= fileSize) {
                result = 0;
                break;
            }
            if (result != 0) break;
        }
        start += n - kOverlap;
        file.SetPosition(start);
        n = file.Read(window.data(), kScanWindowSize);
    }
    return result;
}

}  // namespace qvx::launcher
