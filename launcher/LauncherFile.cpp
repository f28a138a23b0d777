#include "LauncherFile.h"

#include <instcompress/Exceptions.h>

namespace qvx::launcher {

std::unique_ptr<LauncherFile> CreateUniqueFile(const std::string& dir, const std::string& prefix,
                                               const std::string& suffix, std::uint32_t seed, bool executable,
                                               int attempts) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = dir + prefix + "0000" + suffix;
    const std::size_t digits = dir.size() + prefix.size();
    for (int i = 0; i < attempts; ++i) {
        const std::uint32_t number = seed + static_cast<std::uint32_t>(i);
        for (std::size_t k = 0; k < 4; ++k) name[digits + k] = kHex[(number >> (12 - 4 * k)) & 0xF];
        std::unique_ptr<LauncherFile> file;
        const LauncherFile::CreateResult result = LauncherFile::CreateNew(name, executable, file);
        if (result == LauncherFile::CreateResult::Created) return file;
        if (result == LauncherFile::CreateResult::Failed) break;
    }
    throw EFCreateError("Cannot create file " + name);
}

}  // namespace qvx::launcher
