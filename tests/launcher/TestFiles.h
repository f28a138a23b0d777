// Helpers for the launcher tests: a private temporary directory, whole-file reads and writes, and
// setup files laid out as the build tool writes them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvx::launcher::test {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const noexcept { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value);
void AppendU32(Bytes& bytes, std::uint32_t value);

// The size marker's 12 bytes with the given offset field.
Bytes MarkerBytes(const std::uint8_t (&field)[4]);
Bytes MarkerBytes(std::uint32_t offset);
// Occurrences of the marker characters in bytes.
std::size_t CountMarkers(const Bytes& bytes);

// An archive (stored entries) holding the given (name, data) pairs.
Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& entries);

// A setup file: a launcher stand-in of imageSize bytes with the marker patched to imageSize, then
// u32 length + first archive, then (when given) u32 length + second archive.
Bytes MakeSetupFile(std::size_t imageSize, const Bytes& firstArchive, const Bytes* secondArchive);

}  // namespace qvx::launcher::test
