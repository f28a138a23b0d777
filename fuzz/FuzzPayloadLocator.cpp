// PayloadLocator on arbitrary file contents. The input is two bytes of little-endian padding length
// followed by the file's tail: the file is that many zero bytes and then the tail, so short inputs
// reach markers in later scan windows and on window boundaries. The locator reads a path, so every
// input is written to a temporary file of this process first (removed again after the call).
//
// Besides crashing, the target fails when the result differs from a model of the scan worked out
// on the whole file in memory: windows of 16,384 bytes starting 16,376 bytes apart, the first
// marker wholly inside a window decides (a placeholder or an offset field cut short by the end of
// the file means no payload, an offset not below the file size means no payload, an offset of 0
// moves on to the next window).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "PayloadLocator.h"
#include "SizeMarker.h"

namespace {

using qvx::launcher::kScanWindowSize;

std::int32_t ModelScan(const std::vector<std::uint8_t>& file) {
    const auto pattern = qvx::launcher::MarkerPattern();
    const auto size = static_cast<std::int64_t>(file.size());
    const std::int64_t overlap = static_cast<std::int64_t>(pattern.size());
    for (std::int64_t start = 0; start < size; start += kScanWindowSize - overlap) {
        const std::int64_t end = std::min<std::int64_t>(start + kScanWindowSize, size);
        if (end - start <= overlap) break;
        const auto first = file.begin() + start;
        const auto last = file.begin() + end;
        const auto hit = std::search(first, last, pattern.begin(), pattern.end(),
                                     [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
        if (hit == last) continue;
        const std::int64_t field = (hit - file.begin()) + overlap;
        if (field + 4 > size) return 0;
        if (file[static_cast<std::size_t>(field)] == static_cast<std::uint8_t>(qvx::launcher::kPlaceholderByte))
            return 0;
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i) u = (u << 8) | file[static_cast<std::size_t>(field + i)];
        const auto v = static_cast<std::int32_t>(u);
        if (v >= static_cast<std::int32_t>(size)) return 0;
        if (v != 0) return v;
    }
    return 0;
}

const std::string& TempPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/qvx_fuzz_payload_" + std::to_string(::getpid());
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    std::size_t pad = 0;
    if (input.size() >= 2) {
        pad = static_cast<std::size_t>(input[0]) | (static_cast<std::size_t>(input[1]) << 8);
        input = input.subspan(2);
    }
    std::vector<std::uint8_t> file(pad, 0);
    file.insert(file.end(), input.begin(), input.end());

    std::FILE* f = std::fopen(TempPath().c_str(), "wb");
    if (!f) std::abort();
    if (!file.empty() && std::fwrite(file.data(), 1, file.size(), f) != file.size()) std::abort();
    if (std::fclose(f) != 0) std::abort();

    const std::int32_t result = qvx::launcher::PayloadLocator(TempPath());
    // Removed after every input: libFuzzer ends its runs without running static destructors.
    std::remove(TempPath().c_str());
    if (result != ModelScan(file)) std::abort();
    return 0;
}
