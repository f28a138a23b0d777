#include "setup/SetupBuilder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <instcompress/ByteOrder.h>
#include <instcompress/ArchiveWalker.h>
#include <instcompress/DosDateTime.h>
#include <instcompress/Exceptions.h>
#include <instcompress/QuorvexCompress.h>

#include "platform/AtomicFile.h"
#include "EngineEntry.h"
#include "names/EntryNameRules.h"
#include "archive/SourceArchive.h"
#include "platform/FileError.h"
#include "platform/FileStreams.h"
#include "setup/PeFile.h"
#include "PayloadLocator.h"
#include "SizeMarker.h"
#include "setup/StreamWindow.h"
#include "archive/ToolSettings.h"
#include "platform/FileSystem.h"

namespace qvx::setup {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;
constexpr std::size_t kImageAlignment = 16;

// Refuses a device, pipe or socket as an input: it would be taken as empty or read forever.
// (Opening reports a file that is missing or a directory.)
void RefuseSpecialFile(const std::string& path) {
    platform::FileStatus st;
    if (platform::GetStatus(path, st) == 0 && st.Type == platform::FileType::Other)
        throw platform::FileError(path, "not a regular file");
}

std::vector<char> ReadWholeFile(const std::string& path) {
    std::unique_ptr<cli::FileStream> in;
    try {
        in = cli::OpenReadFile(path);
    } catch (const platform::FileError& e) {
        throw platform::FileError(path, std::string("cannot open: ") + e.what(), e.Error());
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

// Every file below the data directory, collected as create collects them (SourceTree.h).
std::vector<cli::SourceFile> CollectFiles(const BuildOptions& options, const cli::StampPolicy& stamps) {
    const std::string& dir = options.DataDirectory;
    platform::FileStatus st;
    if (platform::GetStatus(dir, st) != 0 || st.Type != platform::FileType::Directory)
        throw platform::FileError(dir, "not a directory");
    cli::TreeOptions tree;
    tree.Base = dir;
    tree.Paths = {"."};
    tree.Links = options.Links;
    tree.Names = options.Names;
    tree.Stamps = stamps;
    cli::SourceTree source = cli::CollectSourceTree(tree);
    if (cli::OnlyEmptyFiles(source.Files))
        throw platform::FileError(dir, "holds only empty files; an archive cannot end with an empty entry");
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
    if (size > 0xFFFFFFFFLL) throw platform::FileError(file, "block larger than 4 GB");
    StoreLe32(length.data(), static_cast<std::uint32_t>(size));
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
                throw platform::FileError(
                    path, names.DecodeForDisplay(entry.Name) + ": refused unsafe entry name (" + reason + ")");
            return nullptr;
        });
    } catch (const Exception& e) {
        throw platform::FileError(path, e.Message());
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
        throw platform::FileError(path, "the " + which + " archive: " + e.Message());
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
    if (engine.Kind == pe::PeKind::NotPe)
        return "the engine is not a Windows program, the launcher is one (" + machine + ")";
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
            cli::SourceArchiveOptions archive;
            archive.Method = cmLH5;
            archive.Jobs = 1;
            cli::WriteSourceArchive(out, {engine}, archive);
        });
        current = options.DataArchive.empty() ? options.DataDirectory : options.DataArchive;
        WriteFramedBlock(out, current, [&] {
            if (!options.DataArchive.empty()) {
                const auto archive = cli::OpenReadFile(options.DataArchive);
                out.CopyFrom(*archive, archive->Size());
                return;
            }
            cli::SourceArchiveOptions archive;
            archive.Method = options.Method;
            archive.Jobs = options.Jobs;
            // A library error names the data file being added.
            archive.Events.Adding = [&current](const cli::SourceFile& file) { current = file.Path; };
            cli::WriteSourceArchive(out, dataFiles, archive);
        });
        current.clear();
        const pe::PeReadResult headers = pe::ReadPeHeaders(out);
        if (headers.Kind == pe::PeKind::Pe) {
            std::array<std::uint8_t, 4> checksum{};
            StoreLe32(checksum.data(), pe::PeChecksum(out, headers.Headers.ChecksumOffset));
            out.SetPosition(headers.Headers.ChecksumOffset);
            out.WriteBuffer(checksum.data(), 4);
        }
    } catch (const Exception& e) {
        throw platform::FileError(current.empty() ? options.Output : current, e.Message());
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
        throw platform::FileError(name, "the setup file would hold the size marker " + std::to_string(markers) +
                                            " times (the payload holds a copy of it)");
    if (const std::int32_t found = launcher::PayloadLocator(file); found != offset)
        throw platform::FileError(name, "the launcher would find the payload offset " + std::to_string(found) +
                                            ", not " + std::to_string(offset));
    std::array<std::uint8_t, 4> field{};
    file.SetPosition(offset);
    const std::int64_t behind = file.Size() - offset - 4;
    const auto length =
        static_cast<std::int64_t>(file.Read(field.data(), 4) == 4 ? LoadLe32(field.data()) : 0xFFFFFFFFu);
    if (length > 0x7FFFFFFF || length > behind)
        throw platform::FileError(
            name, "the launcher would find no first archive behind the payload offset " + std::to_string(offset));
    try {
        cli::TStreamWindow archive(file, offset + 4, length);
        TDiscardingStream engine;
        launcher::ExpandEngineEntry(archive, engine);
    } catch (const Exception& e) {
        throw platform::FileError(name, "the launcher could not start the engine: " + e.Message());
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
    for (const std::string* input :
         {&options.Launcher, &options.Engine, &options.DataDirectory, &options.DataArchive}) {
        if (*input == "-")
            throw platform::FileError("-", "setup build reads its inputs from files, not from standard input");
    }
    RefuseSpecialFile(options.Launcher);
    if (!options.DataArchive.empty()) RefuseSpecialFile(options.DataArchive);
    std::vector<char> image = ReadWholeFile(options.Launcher);
    // Rewrite the launcher image's resources before the payload is appended.
    image = BrandLauncher(std::move(image), options.Brand, options.Launcher);
    const auto markers = FindMarkers(image);
    if (markers.empty()) throw platform::FileError(options.Launcher, "no size marker: not a launcher");
    if (markers.size() > 1)
        throw platform::FileError(options.Launcher,
                                  "the size marker occurs " + std::to_string(markers.size()) + " times");
    const std::size_t field = markers.front() + launcher::kMarkerPatternLength;
    if (field + 4 > image.size()) throw platform::FileError(options.Launcher, "the size marker is cut short");
    if (image[field] != launcher::kPlaceholderByte)
        throw platform::FileError(options.Launcher, "the launcher is already patched (it carries a payload)");
    PadLauncherImage(image);
    const auto offset = static_cast<std::int64_t>(image.size());
    if (offset > kMaxOffset - 4) throw platform::FileError(options.Launcher, "launcher larger than 2 GB");
    std::array<std::uint8_t, 4> patched{};
    StoreLe32(patched.data(), static_cast<std::uint32_t>(offset));
    std::memcpy(image.data() + field, patched.data(), 4);

    {
        platform::FileStatus st;
        if (const int error = platform::GetStatus(options.Engine, st); error != 0)
            platform::ThrowSystemError(options.Engine, error);
        if (st.Type != platform::FileType::Regular) throw platform::FileError(options.Engine, "not a regular file");
        if (st.Size == 0) throw platform::FileError(options.Engine, "the engine file is empty");
    }
    if (const std::string mismatch = EngineMismatch(image, options.Engine); !mismatch.empty()) {
        if (!options.Force) throw platform::FileError(options.Engine, mismatch + " (--force builds anyway)");
        if (options.Warn) options.Warn(options.Engine, "warning: " + mismatch + "; building anyway");
    }
    const cli::StampPolicy stamps = cli::MakeStampPolicy(options.Utc, options.MTime, std::getenv("SOURCE_DATE_EPOCH"));
    cli::SourceFile engine = cli::StampedFile(options.Engine, stamps);
    engine.Name = launcher::kEngineEntryName;
    std::vector<cli::SourceFile> dataFiles;
    if (!options.DataDirectory.empty()) dataFiles = CollectFiles(options, stamps);
    if (!options.DataArchive.empty()) CheckArchiveFile(options.DataArchive, options.Names);

    if (options.Output == "-") {
        if (!options.StandardOutput) throw std::logic_error("setup build: no standard output to write to");
        cli::WriteThroughTemporaryFile(
            "qvx-setup",
            [&](TStream& temp) {
                WriteSetup(temp, options, image, engine, dataFiles);
                ReadBackAsLauncher(temp, static_cast<std::int32_t>(offset), "-");
            },
            options.StandardOutput);
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
        if (!layout.Fault.empty()) throw platform::FileError(path, layout.Fault);
        summary.PayloadOffset = layout.PayloadOffset;
        summary.Signed = layout.Signed();
        summary.CertificateTableOffset = layout.Image.CertificateTableOffset;
        summary.CertificateTableSize = layout.Image.CertificateTableSize;
        for (std::size_t i = 0; i < layout.Blocks.size(); ++i)
            summary.Blocks.push_back(ReadBlock(file, path, layout.Blocks[i], static_cast<int>(i + 1)));
    } catch (const Exception& e) {
        throw platform::FileError(path, e.Message());
    }
    return summary;
}

}  // namespace qvx::setup
