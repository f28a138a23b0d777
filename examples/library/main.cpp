// A small program built on InstCompress alone: it writes an archive holding compressible entries
// (LH5) and an incompressible one (which the writer stores as NON), reads the archive back and
// checks every entry, then expands one entry twice with a progress handler: once to the end and
// once cancelled half way.
//
//   instcompress_example [ARCHIVE]   (default: example.spis in the current directory)
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <instcompress/InstCompress.h>

namespace {

std::vector<std::uint8_t> Text(std::size_t size) {
    const std::string line = "InstCompress packs installers into SPIS archives.\n";
    std::vector<std::uint8_t> data;
    while (data.size() < size) data.insert(data.end(), line.begin(), line.end());
    data.resize(size);
    return data;
}

std::vector<std::uint8_t> Noise(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 2463534242u;
    for (auto& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return data;
}

struct Entry {
    std::string Name;
    std::vector<std::uint8_t> Data;
};

void WriteArchive(const std::string& path, const std::vector<Entry>& entries) {
    qvx::TFileStream file(path, qvx::FileMode::Create);
    qvx::ArchiveWriter writer(file, qvx::cmLH5);
    for (const Entry& e : entries) {
        qvx::TMemoryStream source(e.Data);
        qvx::EntryInfo info;
        info.Name = e.Name;
        info.Stamp = qvx::ToDosStamp(0x60000000);
        const qvx::EntryHeader header = writer.AddEntry(info, source, static_cast<std::int64_t>(e.Data.size()));
        std::printf("added %-16s %7d -> %7d bytes (%s)\n", e.Name.c_str(), header.ExpandedSize, header.StoredSize,
                    qvx::MethodName(header.Method()).c_str());
    }
    writer.Finish();
}

// Expands every entry and compares it with what was written; returns the number of differences.
int CheckArchive(const std::string& path, const std::vector<Entry>& entries) {
    qvx::TQuorvexCompress component;
    std::vector<std::unique_ptr<qvx::TMemoryStream>> expanded;
    qvx::WalkArchive(component, path, [&](const qvx::ArchiveEntry& entry) -> qvx::TStream* {
        std::printf("read  %-16s %s\n", entry.Name.c_str(), qvx::MethodName(entry.Header.Method()).c_str());
        expanded.push_back(std::make_unique<qvx::TMemoryStream>());
        return expanded.back().get();
    });
    int bad = expanded.size() == entries.size() ? 0 : 1;
    for (std::size_t i = 0; i < expanded.size() && i < entries.size(); ++i) {
        if (expanded[i]->Data() != entries[i].Data) ++bad;
    }
    // The component's own lookup by name (ASCII letters match without case).
    qvx::TMemoryStream readme;
    component.ExpandEntryByName(path, readme, "DOCS\\README.TXT");
    if (readme.Data() != entries[0].Data) ++bad;
    return bad;
}

// Words in a random order: LH5 packs them to about half, in many 8 KB blocks.
std::vector<std::uint8_t> Words(std::size_t size) {
    static const char* const kWords[] = {"archive ", "entry ",   "setup ", "engine ",  "window ",
                                         "block ",   "Huffman ", "match ", "literal ", "stream\n"};
    const std::vector<std::uint8_t> noise = Noise(size);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; data.size() < size; ++i) {
        const std::string word = kWords[noise[i % noise.size()] % 10];
        data.insert(data.end(), word.begin(), word.end());
    }
    data.resize(size);
    return data;
}

// Expands the entry named name with a progress handler; cancelAt > 0 cancels at that percentage.
// A cancelled expansion cannot give the entry's data, so the component reports it with
// EBadChecksum. Returns true when the outcome is the one asked for.
bool ExpandWithProgress(const std::string& path, const std::string& name, const std::vector<std::uint8_t>& data,
                        int cancelAt) {
    qvx::TQuorvexCompress component;
    int shown = -1;
    component.SetOnShowProgress([&](std::int32_t& percent) {
        if (percent / 20 != shown / 20) std::printf("  %3d%%\n", static_cast<int>(percent));
        shown = percent;
        if (cancelAt > 0 && percent >= cancelAt) percent = -1;
    });
    qvx::TMemoryStream out;
    try {
        component.ExpandEntryByName(path, out, name);
    } catch (const qvx::EBadChecksum& e) {
        std::printf("  cancelled: %s\n", e.Message().c_str());
        return cancelAt > 0;
    }
    std::printf("  done: %zu bytes\n", out.Data().size());
    return cancelAt == 0 && out.Data() == data;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "example.spis";
    std::printf("InstCompress %s\n", qvx::InstCompressVersion());
    try {
        const std::vector<Entry> entries = {
            {"docs\\readme.txt", Text(40000)}, {"bin\\noise.bin", Noise(20000)}, {"data\\words.txt", Words(1 << 20)}};
        WriteArchive(path, entries);
        const int bad = CheckArchive(path, entries);
        std::printf("expand data\\words.txt with progress:\n");
        const bool whole = ExpandWithProgress(path, "data\\words.txt", entries[2].Data, 0);
        std::printf("expand it again, cancelled at 50%%:\n");
        const bool cancelled = ExpandWithProgress(path, "data\\words.txt", entries[2].Data, 50);
        if (bad != 0 || !whole || !cancelled) {
            std::printf("FAILED\n");
            return 1;
        }
        std::printf("OK\n");
        return 0;
    } catch (const qvx::Exception& e) {
        std::fprintf(stderr, "instcompress_example: %s: %s\n", e.ClassName(), e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "instcompress_example: %s\n", e.what());
    }
    return 1;
}
