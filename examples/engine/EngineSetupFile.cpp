#include "EngineSetupFile.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include <instcompress/FileStream.h>

namespace qvx::example {

namespace {

// The marker characters, made at run time: the engine is packed behind a launcher, and a literal
// copy of the marker in it would be one more place for a scan to stop.
std::array<char, 8> MarkerPattern() {
    static constexpr char kLower[] = "qvx_size";
    volatile char caseBit = 0x20;
    std::array<char, 8> pattern{};
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = kLower[i];
        pattern[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c ^ caseBit) : c;
    }
    return pattern;
}

std::uint32_t ReadU32(TStream& s, std::int64_t position, const std::string& path) {
    std::array<std::uint8_t, 4> b{};
    s.SetPosition(position);
    if (s.Read(b.data(), 4) != 4) throw std::runtime_error(path + ": payload cut short");
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

}  // namespace

std::int64_t FindPayloadOffset(const std::string& setupPath) {
    const auto pattern = MarkerPattern();
    TFileStream file(setupPath, FileMode::ReadShared);
    constexpr std::int32_t kWindow = 65536;
    constexpr std::int32_t kOverlap = 8;
    std::vector<char> window(kWindow);
    std::int64_t start = 0;
    for (;;) {
        file.SetPosition(start);
        const std::int32_t n = file.Read(window.data(), kWindow);
        if (n <= kOverlap) break;
        const auto end = window.begin() + n;
        const auto hit = std::search(window.begin(), end, pattern.begin(), pattern.end());
        if (hit != end) {
            const std::int64_t field = start + (hit - window.begin()) + kOverlap;
            const std::uint32_t offset = ReadU32(file, field, setupPath);
            if ((offset & 0xFF) == 'X' || offset == 0 || offset >= static_cast<std::uint64_t>(file.Size()))
                throw std::runtime_error(setupPath + ": no payload");
            return offset;
        }
        start += n - kOverlap;
    }
    throw std::runtime_error(setupPath + ": no payload");
}

std::vector<std::uint8_t> ReadDataArchive(const std::string& setupPath) {
    const std::int64_t offset = FindPayloadOffset(setupPath);
    TFileStream file(setupPath, FileMode::ReadShared);
    const std::int64_t size = file.Size();
    const std::uint32_t first = ReadU32(file, offset, setupPath);
    const std::int64_t second = offset + 4 + first;
    if (second + 4 > size) throw std::runtime_error(setupPath + ": the setup file has no data block");
    const std::uint32_t length = ReadU32(file, second, setupPath);
    if (length > size - second - 4) throw std::runtime_error(setupPath + ": the data block is cut short");
    std::vector<std::uint8_t> bytes(length);
    file.SetPosition(second + 4);
    file.ReadBuffer(bytes.data(), static_cast<std::int32_t>(length));
    return bytes;
}

}  // namespace qvx::example
