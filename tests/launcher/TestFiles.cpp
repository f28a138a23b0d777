#include "TestFiles.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/MemoryStream.h>

#include "SizeMarker.h"

namespace qvx::launcher::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvx-launcher-test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendU32(Bytes& bytes, std::uint32_t value) {
    bytes.resize(bytes.size() + 4);
    PutU32(bytes, bytes.size() - 4, value);
}

Bytes MarkerBytes(const std::uint8_t (&field)[4]) {
    const auto pattern = MarkerPattern();
    Bytes bytes(pattern.begin(), pattern.end());
    bytes.insert(bytes.end(), field, field + 4);
    return bytes;
}

Bytes MarkerBytes(std::uint32_t offset) {
    const std::uint8_t field[4] = {static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8),
                                   static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 24)};
    return MarkerBytes(field);
}

std::size_t CountMarkers(const Bytes& bytes) {
    const auto pattern = MarkerPattern();
    std::size_t count = 0;
    for (auto it = bytes.begin(); (it = std::search(it, bytes.end(), pattern.begin(), pattern.end())) != bytes.end();
         ++it) {
        ++count;
    }
    return count;
}

Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& entries) {
    TMemoryStream out;
    ArchiveWriter writer(out, cmNON);
    for (const auto& [name, data] : entries) {
        TMemoryStream source(data);
        EntryInfo info;
        info.Name = name;
        writer.AddEntry(info, source, static_cast<std::int64_t>(data.size()));
    }
    writer.Finish();
    return out.TakeData();
}

Bytes MakeSetupFile(std::size_t imageSize, const Bytes& firstArchive, const Bytes* secondArchive) {
    Bytes file(imageSize, 0x90);
    const Bytes marker = MarkerBytes(static_cast<std::uint32_t>(imageSize));
    std::copy(marker.begin(), marker.end(), file.begin() + 100);
    AppendU32(file, static_cast<std::uint32_t>(firstArchive.size()));
    file.insert(file.end(), firstArchive.begin(), firstArchive.end());
    if (secondArchive != nullptr) {
        AppendU32(file, static_cast<std::uint32_t>(secondArchive->size()));
        file.insert(file.end(), secondArchive->begin(), secondArchive->end());
    }
    return file;
}

}  // namespace qvx::launcher::test
