#include "commands/ArchiveInput.h"

#include <array>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "archive/ArchiveMagic.h"
#include "cli/ErrorReport.h"
#include "platform/FileStreams.h"
#include "setup/ProgramImage.h"
#include "setup/SetupFile.h"
#include "setup/SetupStream.h"
#include "archive/ToolSettings.h"

namespace qvx::cli {

namespace {

constexpr char kNotASetupFile[] = "not a setup file (--block reads a setup file's blocks)";

// The input a path names, opened: "-" is standard input. A terminal is refused: nobody types an
// archive.
std::unique_ptr<FileStream> OpenInput(const std::string& path) {
    auto in = OpenInputFile(path);
    if (in->IsTerminal()) throw platform::FileError(path, "refusing to read an archive from a terminal");
    return in;
}

// The kind of a file read in place, from its first bytes; the file is left at position 0.
InputKind KindOfFile(TStream& file) {
    std::array<std::uint8_t, kKindBytes> first{};
    file.SetPosition(0);
    std::size_t have = 0;
    while (have < first.size()) {
        const std::int32_t n = file.Read(first.data() + have, static_cast<std::int32_t>(first.size() - have));
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    file.SetPosition(0);
    return KindOf(std::span(first.data(), have));
}

// Block number of the setup file read in place, or null when the file is not a setup file.
std::unique_ptr<TStream> OpenBlockInPlace(std::unique_ptr<FileStream> file, int number, const std::string& path) {
    const setup::SetupLayout layout = setup::ReadSetupLayout(*file);
    if (!layout.IsSetupFile()) return nullptr;
    return setup::OpenPayloadBlock(std::move(file), layout, number, path);
}

}  // namespace

void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options) {
    command.add_option("ARCHIVE", options.Path, "Archive or setup file (- reads standard input)")->required();
    command
        .add_option("--block", options.Block,
                    "Block of a setup file to read: 1 the engine's archive (default), 2 the data")
        ->check(CLI::Range(1, 2));
}

bool OpenedArchive::HoldsArchiveHeader() {
    constexpr auto kHeader = static_cast<std::int32_t>(ArchiveHeader::kSize);
    if (forward_) {
        // Nothing of the archive has been read yet: it starts at the input's position.
        if (owned_ && owned_->Size() < kHeader) return false;
        const auto head = forward_->Peek(kHeader);
        return head.size() == static_cast<std::size_t>(kHeader) && StartsWithArchiveMagic(head);
    }
    const std::int64_t start = owned_->Position();
    if (start < 0 || owned_->Size() - start < kHeader) return false;
    std::array<std::uint8_t, kArchiveMagic.size()> magic{};
    const std::int32_t n = owned_->Read(magic.data(), static_cast<std::int32_t>(magic.size()));
    owned_->SetPosition(start);
    return StartsWithArchiveMagic(std::span(magic.data(), n > 0 ? static_cast<std::size_t>(n) : 0));
}

std::string OpenedArchive::TruncationProblem() const {
    // A stream cannot tell its size in advance: an entry skipped past its end shows only now.
    // (Entries that fall short of the header's total size end the walk itself, ETruncatedArchive.)
    if (forward_ && forward_->MovedPastEnd()) return kStoredPastEndMessage;
    return {};
}

OpenedArchive OpenArchiveInput(const ArchiveInputOptions& options) {
    const std::string& path = options.Path;
    const int block = options.Block == 0 ? 1 : options.Block;
    OpenedArchive opened;
    auto file = OpenInput(path);
    const bool inPlace = ReadsInPlace(*file, path);
    if (!inPlace) opened.forward_ = std::make_unique<TForwardStream>(std::move(file), path);
    const InputKind kind =
        inPlace ? KindOfFile(*file) : KindOf(opened.forward_->Peek(static_cast<std::int32_t>(kKindBytes)));
    if (kind == InputKind::Other) throw platform::FileError(path, "not an archive");
    if (kind == InputKind::Archive) {
        if (options.Block != 0) throw platform::FileError(path, kNotASetupFile);
        if (inPlace) opened.owned_ = std::move(file);
        return opened;
    }
    opened.owned_ = inPlace ? OpenBlockInPlace(std::move(file), block, path)
                            : setup::OpenStreamedPayloadBlock(*opened.forward_, block, path);
    if (!opened.owned_) throw platform::FileError(path, options.Block != 0 ? kNotASetupFile : "not an archive");
    opened.setupBlock_ = block;
    return opened;
}

std::unique_ptr<TStream> OpenSetupInput(const std::string& path) {
    auto file = OpenInput(path);
    if (ReadsInPlace(*file, path)) {
        if (KindOfFile(*file) != InputKind::Program) throw platform::FileError(path, "not a setup file");
        return file;
    }
    TForwardStream in(std::move(file), path);
    if (KindOf(in.Peek(static_cast<std::int32_t>(kKindBytes))) != InputKind::Program)
        throw platform::FileError(path, "not a setup file");
    return SpoolToTemporaryFile(in, "qvx-stdin");
}

void AddStoredChecksumOption(CLI::App& command, ArchiveInputOptions& options) {
    command.add_flag("--skip-stored-checksums", options.SkipStoredChecksums,
                     "Do not verify stored (NON) entries' checksums: for archives whose writer puts something "
                     "else in that field");
}

void SetUpReadingComponent(TQuorvexCompress& component, const ArchiveInputOptions& options) {
    component.SetYield(kNoYield);
    component.SetVerifyStoredChecksums(!options.SkipStoredChecksums);
}

void ExpandEntry(ArchiveWalker& walker, const ArchiveEntry& entry, TStream& dest) {
    try {
        walker.Expand(entry, dest);
    } catch (const EBadChecksum& e) {
        if (entry.Header.Method() != cmNON) throw;
        throw EBadChecksum(e.Message() + " (stored entry; --skip-stored-checksums skips this check)");
    } catch (const ECustomMethodUnavailable&) {
        throw ECustomMethodUnavailable("entry uses a custom method that qvx cannot expand");
    }
}

void ExpandEntryTo(ArchiveWalker& walker, const ArchiveEntry& entry, TStream& dest, const std::string& where) {
    try {
        ExpandEntry(walker, entry, dest);
    } catch (const ETruncatedArchive&) {
        throw;  // read forward, the input ended inside this entry: the archive's fault, as for a file
    } catch (const qvx::Exception& e) {
        throw platform::FileError(where, e.Message());
    }
}

}  // namespace qvx::cli
