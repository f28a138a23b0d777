#include "SetupBuilder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/ArchiveWriter.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/FileStream.h>
#include <instcompress/QuorvexCompress.h>

#include "EntryPipeline.h"
#include "PayloadLocator.h"
#include "SizeMarker.h"
#include "ToolSettings.h"

namespace qvx::setup {

namespace fs = std::filesystem;
using cli::EntryPipeline;

namespace {

constexpr char kEngineEntryName[] = "Installer\\Quorvex.exe";
constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;

std::vector<char> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SetupError(path, std::string("cannot open: ") + std::strerror(errno));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw SetupError(path, "read error");
    return bytes;
}

void PutLittleEndian32(std::array<std::uint8_t, 4>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetLittleEndian32(const std::array<std::uint8_t, 4>& b) {
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

EntryInfo InfoForFile(const std::string& path, std::string name) {
    EntryInfo info;
    info.Name = std::move(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        info.Stamp = ToDosStamp(st.st_mtime);
        info.Attributes = (st.st_mode & S_IWUSR) ? 0x20 : 0x21;
    }
    return info;
}

void AddFile(ArchiveWriter& writer, const std::string& path, const std::string& name) {
    TFileStream source(path, FileMode::ReadShared);
    writer.AddEntry(InfoForFile(path, name), source, source.Size());
}

// The same entries as AddFile for each file in turn, compressed by several workers at once.
// current names the file being added, for error messages.
void AddFilesAtOnce(ArchiveWriter& writer, const std::vector<std::pair<std::string, std::string>>& files,
                    unsigned jobs, std::string& current) {
    std::vector<EntryPipeline::Job> work;
    for (const auto& [path, name] : files) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) throw SetupError(path, std::strerror(errno));
        work.push_back({name, path, static_cast<std::int64_t>(st.st_size)});
    }
    EntryPipeline pipeline(work, writer.Method(), jobs);
    for (const EntryPipeline::Job& job : work) {
        current = job.Path;
        if (pipeline.AddNextTo(writer, InfoForFile(job.Path, job.Name)) != job.Size) throw SetupError(job.Path, "file changed while being archived");
    }
}

// Every regular file below dir, as (path, entry name with "\" separators). Empty files come first
// (an archive cannot end with an empty entry), each group in byte order of the names.
std::vector<std::pair<std::string, std::string>> CollectFiles(const std::string& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw SetupError(dir, "not a directory");
    std::vector<std::tuple<bool, std::string, std::string>> files;
    fs::recursive_directory_iterator it(dir, ec), end;
    if (ec) throw SetupError(dir, ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec) throw SetupError(dir, ec.message());
        if (!it->is_regular_file(ec)) continue;
        std::string name = fs::relative(it->path(), dir, ec).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        const bool nonEmpty = it->file_size(ec) > 0;
        files.emplace_back(nonEmpty, std::move(name), it->path().string());
    }
    std::sort(files.begin(), files.end());
    if (!files.empty() && !std::get<0>(files.back()))
        throw SetupError(dir, "holds only empty files; an archive cannot end with an empty entry");
    std::vector<std::pair<std::string, std::string>> result;
    for (auto& [nonEmpty, name, path] : files) result.emplace_back(std::move(path), std::move(name));
    return result;
}

// Writes a 32-bit length placeholder, then what write() puts behind it, then patches the length.
template <typename WriteBlock>
void WriteFramedBlock(TStream& out, const std::string& file, WriteBlock write) {
    const std::int64_t lengthPosition = out.Position();
    std::array<std::uint8_t, 4> length{};
    out.WriteBuffer(length.data(), 4);
    write();
    const std::int64_t end = out.Position();
    const std::int64_t size = end - lengthPosition - 4;
    if (size > 0xFFFFFFFFLL) throw SetupError(file, "block larger than 4 GB");
    PutLittleEndian32(length, static_cast<std::uint32_t>(size));
    out.SetPosition(lengthPosition);
    out.WriteBuffer(length.data(), 4);
    out.SetPosition(end);
}

// A read-only view of length bytes of a stream, starting at start.
class TStreamWindow final : public TStream {
public:
    TStreamWindow(TStream& base, std::int64_t start, std::int64_t length) : base_(base), start_(start), length_(length) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const std::int64_t left = length_ - position_;
        if (count <= 0 || left <= 0) return 0;
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, left));
        base_.SetPosition(start_ + position_);
        const std::int32_t got = base_.Read(buffer, n);
        position_ += got;
        return got;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
        const std::int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position_ : length_;
        position_ = std::max<std::int64_t>(0, base + offset);
        return position_;
    }
    std::int64_t Size() override { return length_; }

private:
    TStream& base_;
    std::int64_t start_;
    std::int64_t length_;
    std::int64_t position_ = 0;
};

// Refuses an archive file the launcher's engine could not read.
void CheckArchiveFile(const std::string& path) {
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        WalkArchive(component, path, [](const ArchiveEntry&) -> TStream* { return nullptr; });
    } catch (const Exception& e) {
        throw SetupError(path, e.Message());
    }
}

BlockSummary ReadBlock(TStream& file, const std::string& path, std::int64_t lengthPosition, int number) {
    const std::string which = number == 1 ? "first" : "second";
    std::array<std::uint8_t, 4> b{};
    file.SetPosition(lengthPosition);
    if (file.Read(b.data(), 4) != 4) throw SetupError(path, "payload damaged: the " + which + " length field is cut short");
    BlockSummary block;
    block.Offset = lengthPosition + 4;
    block.Length = GetLittleEndian32(b);
    if (block.Length > file.Size() - block.Offset || (number == 1 && static_cast<std::int32_t>(block.Length) < 0)) {
        throw SetupError(path, "payload damaged: the " + which + " archive's length " + std::to_string(block.Length) +
                                   " exceeds the " + std::to_string(file.Size() - block.Offset) + " bytes behind it");
    }
    TStreamWindow window(file, block.Offset, block.Length);
    TQuorvexCompress component;
    component.SetYield(cli::kNoYield);
    try {
        ArchiveHeader header;
        component.ReadArchiveHeader(window, header, block.MethodId);
        window.SetPosition(0);
        WalkArchive(component, window, [&](const ArchiveEntry& entry) -> TStream* {
            block.Entries.push_back({entry.Name, entry.Header.ExpandedSize, entry.Header.StoredSize,
                                     entry.Header.Method(), entry.Header.Checksum});
            return nullptr;
        });
    } catch (const Exception& e) {
        throw SetupError(path, "the " + which + " archive: " + e.Message());
    }
    return block;
}

}  // namespace

std::vector<std::size_t> FindMarkers(const std::vector<char>& image) {
    const auto pattern = launcher::MarkerPattern();
    std::vector<std::size_t> found;
    auto it = image.begin();
    while ((it = std::search(it, image.end(), pattern.begin(), pattern.end())) != image.end()) {
        found.push_back(static_cast<std::size_t>(it - image.begin()));
        ++it;
    }
    return found;
}

void BuildSetup(const BuildOptions& options) {
    std::vector<char> image = ReadWholeFile(options.Launcher);
    const auto markers = FindMarkers(image);
    if (markers.empty()) throw SetupError(options.Launcher, "no size marker: not a launcher");
    if (markers.size() > 1)
        throw SetupError(options.Launcher, "the size marker occurs " + std::to_string(markers.size()) + " times");
    const std::size_t field = markers.front() + launcher::kMarkerPatternLength;
    if (field + 4 > image.size()) throw SetupError(options.Launcher, "the size marker is cut short");
    if (image[field] != launcher::kPlaceholderByte)
        throw SetupError(options.Launcher, "the launcher is already patched (it carries a payload)");
    const auto offset = static_cast<std::int64_t>(image.size());
    if (offset > kMaxOffset - 4) throw SetupError(options.Launcher, "launcher larger than 2 GB");
    std::array<std::uint8_t, 4> patched{};
    PutLittleEndian32(patched, static_cast<std::uint32_t>(offset));
    std::memcpy(image.data() + field, patched.data(), 4);

    {
        struct stat st {};
        if (::stat(options.Engine.c_str(), &st) != 0) throw SetupError(options.Engine, std::strerror(errno));
        if (!S_ISREG(st.st_mode)) throw SetupError(options.Engine, "not a regular file");
        if (st.st_size == 0) throw SetupError(options.Engine, "the engine file is empty");
    }
    std::vector<std::pair<std::string, std::string>> dataFiles;
    if (!options.DataDirectory.empty()) dataFiles = CollectFiles(options.DataDirectory);
    if (!options.DataArchive.empty()) CheckArchiveFile(options.DataArchive);

    std::string temp = options.Output + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw SetupError(options.Output, std::string("cannot create a temporary file: ") + std::strerror(errno));
    ::close(fd);
    try {
        {
            TFileStream out(temp, FileMode::Create);
            out.WriteBuffer(image.data(), static_cast<std::int32_t>(image.size()));
            std::string current = options.Engine;
            try {
                WriteFramedBlock(out, options.Engine, [&] {
                    ArchiveWriter writer(out, options.Method, {}, cli::kNoYield);
                    AddFile(writer, options.Engine, kEngineEntryName);
                    writer.Finish();
                });
                current = options.DataArchive.empty() ? options.DataDirectory : options.DataArchive;
                WriteFramedBlock(out, current, [&] {
                    if (!options.DataArchive.empty()) {
                        TFileStream archive(options.DataArchive, FileMode::ReadShared);
                        out.CopyFrom(archive, archive.Size());
                        return;
                    }
                    ArchiveWriter writer(out, options.Method, {}, cli::kNoYield);
                    const unsigned jobs = EntryPipeline::WorkersFor(options.Jobs, dataFiles.size(), options.Method);
                    if (jobs > 1) {
                        AddFilesAtOnce(writer, dataFiles, jobs, current);
                    } else {
                        for (const auto& [path, name] : dataFiles) {
                            current = path;
                            AddFile(writer, path, name);
                        }
                    }
                    writer.Finish();
                });
            } catch (const Exception& e) {
                throw SetupError(current.empty() ? options.Output : current, e.Message());
            }
        }
        if (::chmod(temp.c_str(), 0755) != 0) throw SetupError(options.Output, std::strerror(errno));
        if (::rename(temp.c_str(), options.Output.c_str()) != 0)
            throw SetupError(options.Output, std::string("cannot write: ") + std::strerror(errno));
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

SetupSummary InspectSetup(const std::string& path) {
    SetupSummary summary;
    try {
        summary.PayloadOffset = launcher::PayloadLocator(path);
        if (summary.PayloadOffset < 1) return summary;
        TFileStream file(path, FileMode::ReadShared);
        summary.Blocks.push_back(ReadBlock(file, path, summary.PayloadOffset, 1));
        const std::int64_t second = summary.Blocks.back().Offset + summary.Blocks.back().Length;
        if (second < file.Size()) summary.Blocks.push_back(ReadBlock(file, path, second, 2));
    } catch (const Exception& e) {
        throw SetupError(path, e.Message());
    }
    return summary;
}

}  // namespace qvx::setup
