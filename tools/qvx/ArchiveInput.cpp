#include "ArchiveInput.h"

#include <algorithm>
#include <array>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "ErrorReport.h"
#include "FileStreams.h"
#include "SetupFile.h"
#include "ToolSettings.h"

namespace qvx::cli {

namespace {

bool StartsWithArchiveMagic(TStream& file) {
    std::array<std::uint8_t, kArchiveMagic.size()> head{};
    file.SetPosition(0);
    const bool magic = file.Read(head.data(), static_cast<std::int32_t>(head.size())) ==
                           static_cast<std::int32_t>(head.size()) &&
                       head == kArchiveMagic;
    file.SetPosition(0);
    return magic;
}

}  // namespace

void AddArchiveInputOptions(CLI::App& command, ArchiveInputOptions& options) {
    command.add_option("ARCHIVE", options.Path, "Archive or setup file (- reads standard input)")->required();
    command.add_option("--block", options.Block, "Block of a setup file to read: 1 the engine's archive (default), 2 the data")
        ->check(CLI::Range(1, 2));
}

std::unique_ptr<TStream> OpenInputFile(const std::string& path) {
    if (path != "-") return OpenReadFile(path);
    if (platform::IsTerminal(platform::StandardStream::Input))
        throw FileError("-", "refusing to read an archive from a terminal");
    auto in = FileStream::Standard(platform::StandardStream::Input);
    // A file redirected to standard input from its first byte is read in place.
    if (in->IsRegularFile() && in->Seek(0, SeekOrigin::Current) == 0) return in;
    auto spool = AnonymousTemporaryFile("qvx-stdin");
    std::vector<std::uint8_t> piece(TStream::kCopyPieceSize);
    for (;;) {
        const std::int32_t n = in->Read(piece.data(), static_cast<std::int32_t>(piece.size()));
        if (n <= 0) break;
        spool->WriteBuffer(piece.data(), n);
    }
    spool->SetPosition(0);
    return spool;
}

std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options) {
    int setupBlock = 0;
    return OpenArchiveInput(options, &setupBlock);
}

std::unique_ptr<TStream> OpenArchiveInput(const ArchiveInputOptions& options, int* setupBlock) {
    *setupBlock = 0;
    auto file = OpenInputFile(options.Path);
    if (options.Block == 0 && StartsWithArchiveMagic(*file)) return file;
    const setup::SetupLayout layout = setup::ReadSetupLayout(*file);
    if (!layout.IsSetupFile()) {
        if (options.Block != 0) throw FileError(options.Path, "not a setup file (--block reads a setup file's blocks)");
        // Not an archive either: the archive reader names that fault.
        file->SetPosition(0);
        return file;
    }
    const int block = options.Block == 0 ? 1 : options.Block;
    auto stream = setup::OpenPayloadBlock(std::move(file), layout, block, options.Path);
    *setupBlock = block;
    return stream;
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

}  // namespace qvx::cli
