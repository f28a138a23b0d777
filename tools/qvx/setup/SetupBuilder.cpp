#include "setup/SetupBuilder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/ArchiveWriter.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "platform/AtomicFile.h"
#include "EngineEntry.h"
#include "names/EntryNameRules.h"
#include "archive/EntryPipeline.h"
#include "cli/ErrorReport.h"
#include "platform/FileStreams.h"
#include "setup/PeFile.h"
#include "PayloadLocator.h"
#include "SizeMarker.h"
#include "cli/StandardStreams.h"
#include "setup/StreamWindow.h"
#include "archive/ToolSettings.h"
#include "platform/FileSystem.h"

namespace qvx::setup {

namespace fs = std::filesystem;
using cli::EntryPipeline;

namespace {

constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;
constexpr std::size_t kImageAlignment = 16;

std::uint32_t LittleEndian32(const std::array<std::uint8_t, 4>& b) noexcept {
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Refuses a device, pipe or socket as an input: it would be taken as empty or read forever.
// (Opening reports a file that is missing or a directory.)
void RefuseSpecialFile(const std::string& path) {
    platform::FileStatus st;
    if (platform::GetStatus(path, st) == 0 && st.Type == platform::FileType::Other)
        throw SetupError(path, "not a regular file");
}

std::vector<char> ReadWholeFile(const std::string& path) {
    std::unique_ptr<cli::FileStream> in;
    try {
        in = cli::OpenReadFile(path);
    } catch (const cli::FileError& e) {
        throw SetupError(path, std::string("cannot open: ") + e.what());
    }
    std::vector<char> bytes;
    std::vector<char> piece(TStream::kCopyPieceSize);
    for (;;) {
        const std::int32_t n = in->Read(piece.data(), static_cast<std::int32_t>(piece.size()));
        if (n <= 0) break;
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + n);
    }
    return bytes;
}

void PutLittleEndian32(std::array<std::uint8_t, 4>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

EntryInfo InfoFor(const cli::SourceFile& file) {
    EntryInfo info;
    info.Name = file.Name;
    info.Stamp = file.Stamp;
    info.Attributes = file.Attributes;
    return info;
}

void AddFile(ArchiveWriter& writer, const cli::SourceFile& file) {
    const auto source = cli::OpenReadFile(file.Path);
    writer.AddEntry(InfoFor(file), *source, file.Size);
    if (source->Position() != file.Size) throw SetupError(file.Path, "file changed while being archived");
}

// The same entries as AddFile for each file in turn, compressed by several workers at once.
// current names the file being added, for error messages.
void AddFilesAtOnce(ArchiveWriter& writer, const std::vector<cli::SourceFile>& files, unsigned jobs,
                    std::string& current) {
    std::vector<EntryPipeline::Job> work;
    for (const cli::SourceFile& file : files) work.push_back({file.Name, file.Path, file.Size});
    EntryPipeline pipeline(work, writer.Method(), jobs);
    for (const cli::SourceFile& file : files) {
        current = file.Path;
        if (pipeline.AddNextTo(writer, InfoFor(file)) != file.Size)
            throw SetupError(file.Path, "file changed while being archived");
    }
}

// Every file below the data directory, collected as create collects them (SourceTree.h).
std::vector<cli::SourceFile> CollectFiles(const BuildOptions& options, const cli::StampPolicy& stamps) {
    const std::string& dir = options.DataDirectory;
    platform::FileStatus st;
    if (platform::GetStatus(dir, st) != 0 || st.Type != platform::FileType::Directory)
        throw SetupError(dir, "not a directory");
    cli::TreeOptions tree;
    tree.Base = dir;
    tree.Paths = {"."};
    tree.Links = options.Links;
    tree.Names = options.Names;
    tree.Stamps = stamps;
    cli::SourceTree source = cli::CollectSourceTree(tree);
    if (!source.Files.empty() && source.Files.back().Size == 0)
        throw SetupError(dir, "holds only empty files; an archive cannot end with an empty entry");
    if (options.Warn)
        for (const std::string& w : source.Warnings) options.Warn("", "warning: " + w);
    return std::move(source.Files);
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

// Refuses an archive file the launcher's engine could not read, or one holding a name extract
// would refuse (the engine could not install it).
void CheckArchiveFile(const std::string& path, cli::CodePage names) {
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        const auto archive = cli::OpenReadFile(path);
        cli::NameCollisions taken;
        WalkArchive(component, *archive, [&](const ArchiveEntry& entry) -> TStream* {
            std::string reason;
            if (!cli::EntryNameComponents(entry.Name, names, taken, &reason))
                throw SetupError(path, names.DecodeForDisplay(entry.Name) + ": refused unsafe entry name (" + reason + ")");
            return nullptr;
        });
    } catch (const Exception& e) {
        throw SetupError(path, e.Message());
    }
}

BlockSummary ReadBlock(TStream& file, const std::string& path, const PayloadBlock& framing, int number) {
    const std::string which = number == 1 ? "first" : "second";
    BlockSummary block;
    block.Offset = framing.Offset;
    block.Length = framing.Length;
    cli::TStreamWindow window(file, block.Offset, block.Length);
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

// The reason an engine does not suit the launcher, or nothing when it does: a Windows launcher
// needs a Windows program of its own machine type, any other launcher a program that is not one.
std::string EngineMismatch(const std::vector<char>& image, const std::string& enginePath) {
    const pe::PeReadResult launcher = pe::ReadPeHeaders(
        std::span(reinterpret_cast<const std::uint8_t*>(image.data()), std::min(image.size(), pe::kHeadSize)));
    const auto engineFile = cli::OpenReadFile(enginePath);
    const pe::PeReadResult engine = pe::ReadPeHeaders(*engineFile);
    if (launcher.Kind != pe::PeKind::Pe) {
        if (engine.Kind == pe::PeKind::Pe) return "the engine is a Windows program, the launcher is not";
        return {};
    }
    const std::string machine = pe::MachineName(launcher.Headers.Machine);
    if (engine.Kind == pe::PeKind::NotPe) return "the engine is not a Windows program, the launcher is one (" + machine + ")";
    if (engine.Kind == pe::PeKind::Malformed)
        return "the engine is not a Windows program (" + engine.Fault + "), the launcher is one (" + machine + ")";
    if (engine.Headers.Machine != launcher.Headers.Machine)
        return "the engine is built for " + pe::MachineName(engine.Headers.Machine) + ", the launcher for " + machine;
    return {};
}

// Writes the patched launcher image and both blocks to out, then, for a Windows launcher, the PE
// checksum of the whole file into its header.
void WriteSetup(TStream& out, const BuildOptions& options, const std::vector<char>& image,
                const cli::SourceFile& engine, const std::vector<cli::SourceFile>& dataFiles) {
    out.WriteBuffer(image.data(), static_cast<std::int32_t>(image.size()));
    std::string current = options.Engine;
    try {
        // The engine is always compressed: its checksum then covers it wherever it is read.
        WriteFramedBlock(out, options.Engine, [&] {
            ArchiveWriter writer(out, cmLH5, {}, cli::kNoYield);
            AddFile(writer, engine);
            writer.Finish();
        });
        current = options.DataArchive.empty() ? options.DataDirectory : options.DataArchive;
        WriteFramedBlock(out, current, [&] {
            if (!options.DataArchive.empty()) {
                const auto archive = cli::OpenReadFile(options.DataArchive);
                out.CopyFrom(*archive, archive->Size());
                return;
            }
            // With one worker, the writer compresses each entry itself; a large LH5 entry then
            // searches its stream on the -j threads (this one's share held here, the others taken
            // while free).
            const unsigned threads = EntryPipeline::ThreadsFor(options.Jobs);
            ThreadBudget budget(static_cast<int>(threads));
            ArchiveWriter writer(out, options.Method, {}, cli::kNoYield);
            const unsigned jobs = EntryPipeline::WorkersFor(options.Jobs, dataFiles.size(), options.Method);
            if (jobs > 1) {
                AddFilesAtOnce(writer, dataFiles, jobs, current);
            } else {
                std::optional<ThreadBudgetShare> mine;
                if (threads > 1) {
                    mine.emplace(budget);
                    writer.UseThreads(&budget);
                }
                for (const cli::SourceFile& file : dataFiles) {
                    current = file.Path;
                    AddFile(writer, file);
                }
            }
            writer.Finish();
        });
        current.clear();
        const pe::PeReadResult headers = pe::ReadPeHeaders(out);
        if (headers.Kind == pe::PeKind::Pe) {
            std::array<std::uint8_t, 4> checksum{};
            PutLittleEndian32(checksum, pe::PeChecksum(out, headers.Headers.ChecksumOffset));
            out.SetPosition(headers.Headers.ChecksumOffset);
            out.WriteBuffer(checksum.data(), 4);
        }
    } catch (const Exception& e) {
        throw SetupError(current.empty() ? options.Output : current, e.Message());
    }
}

// Discards what is written; its position is the number of bytes written.
class TDiscardingStream final : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t count) override {
        if (count > 0) size_ += count;
        return count;
    }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return size_; }

private:
    std::int64_t size_ = 0;
};

}  // namespace

void PadLauncherImage(std::vector<char>& image) {
    image.resize((image.size() + kImageAlignment - 1) / kImageAlignment * kImageAlignment, 0);
}

void ReadBackAsLauncher(TStream& file, std::int32_t offset, const std::string& name) {
    if (const std::int64_t markers = CountMarkers(file); markers != 1)
        throw SetupError(name, "the setup file would hold the size marker " + std::to_string(markers) +
                                   " times (the payload holds a copy of it)");
    if (const std::int32_t found = launcher::PayloadLocator(file); found != offset)
        throw SetupError(name, "the launcher would find the payload offset " + std::to_string(found) + ", not " +
                                   std::to_string(offset));
    std::array<std::uint8_t, 4> field{};
    file.SetPosition(offset);
    const std::int64_t behind = file.Size() - offset - 4;
    const auto length = static_cast<std::int64_t>(file.Read(field.data(), 4) == 4 ? LittleEndian32(field) : 0xFFFFFFFFu);
    if (length > 0x7FFFFFFF || length > behind)
        throw SetupError(name, "the launcher would find no first archive behind the payload offset " + std::to_string(offset));
    try {
        cli::TStreamWindow archive(file, offset + 4, length);
        TDiscardingStream engine;
        launcher::ExpandEngineEntry(archive, engine);
    } catch (const Exception& e) {
        throw SetupError(name, "the launcher could not start the engine: " + e.Message());
    }
}

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
    for (const std::string* input : {&options.Launcher, &options.Engine, &options.DataDirectory, &options.DataArchive}) {
        if (*input == "-") throw SetupError("-", "setup build reads its inputs from files, not from standard input");
    }
    RefuseSpecialFile(options.Launcher);
    if (!options.DataArchive.empty()) RefuseSpecialFile(options.DataArchive);
    std::vector<char> image = ReadWholeFile(options.Launcher);
    // Rewrite the launcher image's resources before the payload is appended.
    image = BrandLauncher(std::move(image), options.Brand, options.Launcher);
    const auto markers = FindMarkers(image);
    if (markers.empty()) throw SetupError(options.Launcher, "no size marker: not a launcher");
    if (markers.size() > 1)
        throw SetupError(options.Launcher, "the size marker occurs " + std::to_string(markers.size()) + " times");
    const std::size_t field = markers.front() + launcher::kMarkerPatternLength;
    if (field + 4 > image.size()) throw SetupError(options.Launcher, "the size marker is cut short");
    if (image[field] != launcher::kPlaceholderByte)
        throw SetupError(options.Launcher, "the launcher is already patched (it carries a payload)");
    PadLauncherImage(image);
    const auto offset = static_cast<std::int64_t>(image.size());
    if (offset > kMaxOffset - 4) throw SetupError(options.Launcher, "launcher larger than 2 GB");
    std::array<std::uint8_t, 4> patched{};
    PutLittleEndian32(patched, static_cast<std::uint32_t>(offset));
    std::memcpy(image.data() + field, patched.data(), 4);

    {
        platform::FileStatus st;
        if (const int error = platform::GetStatus(options.Engine, st); error != 0)
            throw SetupError(options.Engine, platform::ErrorText(error));
        if (st.Type != platform::FileType::Regular) throw SetupError(options.Engine, "not a regular file");
        if (st.Size == 0) throw SetupError(options.Engine, "the engine file is empty");
    }
    if (const std::string mismatch = EngineMismatch(image, options.Engine); !mismatch.empty()) {
        if (!options.Force) throw SetupError(options.Engine, mismatch + " (--force builds anyway)");
        if (options.Warn) options.Warn(options.Engine, "warning: " + mismatch + "; building anyway");
    }
    const cli::StampPolicy stamps = cli::MakeStampPolicy(options.Utc, options.MTime, std::getenv("SOURCE_DATE_EPOCH"));
    cli::SourceFile engine = cli::StampedFile(options.Engine, stamps);
    engine.Name = kEngineEntryName;
    std::vector<cli::SourceFile> dataFiles;
    if (!options.DataDirectory.empty()) dataFiles = CollectFiles(options, stamps);
    if (!options.DataArchive.empty()) CheckArchiveFile(options.DataArchive, options.Names);

    if (options.Output == "-") {
        const auto temp = cli::AnonymousTemporaryFile("qvx-setup");
        WriteSetup(*temp, options, image, engine, dataFiles);
        ReadBackAsLauncher(*temp, static_cast<std::int32_t>(offset), "-");
        temp->SetPosition(0);
        cli::BinaryStandardOutput()->CopyFrom(*temp, temp->Size());
        return;
    }

    cli::AtomicFile out(platform::PathFromUtf8(options.Output));
    WriteSetup(out.Stream(), options, image, engine, dataFiles);
    ReadBackAsLauncher(out.Stream(), static_cast<std::int32_t>(offset), options.Output);
    out.SetExecutable(true);
    out.Commit(true);
}

SetupSummary InspectSetup(TStream& file, const std::string& path) {
    SetupSummary summary;
    try {
        const SetupLayout layout = ReadSetupLayout(file);
        if (!layout.IsSetupFile() || layout.NeverPatched) return summary;
        if (!layout.Fault.empty()) throw SetupError(path, layout.Fault);
        summary.PayloadOffset = layout.PayloadOffset;
        summary.Signed = layout.Signed();
        summary.CertificateTableOffset = layout.Image.CertificateTableOffset;
        summary.CertificateTableSize = layout.Image.CertificateTableSize;
        for (std::size_t i = 0; i < layout.Blocks.size(); ++i)
            summary.Blocks.push_back(ReadBlock(file, path, layout.Blocks[i], static_cast<int>(i + 1)));
    } catch (const Exception& e) {
        throw SetupError(path, e.Message());
    }
    return summary;
}

}  // namespace qvx::setup
