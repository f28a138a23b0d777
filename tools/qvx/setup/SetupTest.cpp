#include "setup/SetupTest.h"

#include <array>
#include <cstdio>

#include <instcompress/ByteOrder.h>
#include <instcompress/ArchiveFormat.h>
#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "EngineEntry.h"
#include "names/EntryNameRules.h"
#include "setup/LauncherBranding.h"
#include "setup/SetupFile.h"
#include "names/ShownText.h"
#include "setup/StreamWindow.h"
#include "archive/ToolSettings.h"

namespace qvx::setup {

namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

struct ArchiveCheck {
    std::string MethodId;
    std::size_t Entries = 0;
    std::size_t EngineEntries = 0;
    std::int64_t EngineSize = 0;
};

// Expands every entry of the block with the launcher's checks (a stored entry's checksum, the
// sizes against each other and the block), and for the data block applies extract's name rules.
// Raises FileError naming the archive (and the entry) at the first fault; what the launcher and
// the engine pass over (reserved fields that are not 0, bytes after the last entry) is a warning.
ArchiveCheck CheckArchive(TStream& file, const PayloadBlock& block, int number, const std::string& name,
                          cli::CodePage names, const std::function<void(const std::string&)>& warn) {
    const std::string archive = "archive " + std::to_string(number) + ": ";
    cli::TStreamWindow window(file, block.Offset, block.Length);
    TQuorvexCompress component;
    component.SetYield(cli::kNoYield);
    ArchiveCheck check;
    cli::NameCollisions taken;
    std::string current;
    try {
        ArchiveWalker walker(component, window);
        if (block.Length < ArchiveHeader::kSize) {
            if (block.Length != 0)
                throw platform::FileError(
                    name, archive + std::to_string(block.Length) + " bytes: too short for an archive header");
            return check;
        }
        check.MethodId = walker.MethodId();
        if (walker.Header().Reserved1 != 0 || walker.Header().Reserved2 != 0)
            warn("warning: " + archive + "the header's reserved fields are not 0");
        std::int64_t end = ArchiveHeader::kSize;
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            current = cli::ShownName(names, entry.Name) + ": ";
            ++check.Entries;
            if (entry.Header.EntryReserved != 0) warn("warning: " + archive + current + "the reserved field is not 0");
            std::string reason;
            if (number == kDataBlock && !cli::EntryNameComponents(entry.Name, names, taken, &reason))
                throw platform::FileError(name, archive + current + "unsafe entry name (" + reason + ")");
            TNullStream data;
            walker.Expand(entry, data);
            if (SameEntryName(entry.Name, launcher::kEngineEntryName)) {
                ++check.EngineEntries;
                check.EngineSize += entry.Header.ExpandedSize;
            }
            end = entry.DataOffset + entry.Header.StoredSize;
            current.clear();
        }
        if (end != block.Length) warn("warning: " + archive + BytesFollow(block.Length - end, "its last entry"));
    } catch (const Exception& e) {
        throw platform::FileError(name, archive + current + e.Message());
    }
    return check;
}

void CheckCertificateTable(TStream& file, const SetupLayout& layout, const std::string& name) {
    // WIN_CERTIFICATE: u32 dwLength (the header's 8 bytes included), u16 revision, u16 type.
    std::array<std::uint8_t, 8> header{};
    file.SetPosition(layout.Image.CertificateTableOffset);
    const std::uint32_t length = file.Read(header.data(), 8) == 8 ? LoadLe32(header.data()) : 0;
    if (length < header.size() || length > layout.Image.CertificateTableSize)
        throw platform::FileError(name, "the certificate table is damaged: its first certificate's length " +
                                            std::to_string(length) + " does not fit the table's " +
                                            std::to_string(layout.Image.CertificateTableSize) + " bytes");
}

}  // namespace

void TestSetup(TStream& file, const std::string& name, std::ostream& out,
               const std::function<void(const std::string&)>& warn, cli::CodePage names) {
    const SetupLayout layout = ReadSetupLayout(file);
    if (!layout.Fault.empty()) throw platform::FileError(name, layout.Fault);

    for (std::size_t i = 0; i < layout.Blocks.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const PayloadBlock& block = layout.Blocks[i];
        const ArchiveCheck check = CheckArchive(file, block, number, name, names, warn);
        if (number == 1) {
            if (const std::string problem = EngineEntryProblem(check.EngineEntries, check.EngineSize); !problem.empty())
                throw platform::FileError(name, "archive 1: " + problem);
        }
        out << "archive " << number << ": " << block.Length << " bytes at offset " << block.Offset;
        if (!check.MethodId.empty()) out << ", method " << check.MethodId;
        out << ", " << Count(check.Entries, "entry", "entries") << (number == 1 ? " with the engine" : "") << ": OK\n";
    }

    if (const LauncherResources resources = ReadResourcesOf(file, name); resources.Present)
        out << "resources: " << SummarizeResources(resources) << ": OK\n";

    if (layout.Signed()) {
        CheckCertificateTable(file, layout, name);
        out << "signed: certificate table of " << layout.Image.CertificateTableSize << " bytes at offset "
            << layout.Image.CertificateTableOffset << "\n";
        if (const std::int64_t after = layout.BytesAfterCertificateTable(); after > 0)
            warn("warning: " + BytesFollow(after, "the certificate table"));
    } else {
        out << "not signed\n";
    }
    out.flush();

    if (layout.ImageKind == pe::PeKind::Pe && layout.Image.Checksum != 0) {
        const std::uint32_t computed = pe::PeChecksum(file, layout.Image.ChecksumOffset);
        if (computed == layout.Image.Checksum) return;
        // The launcher's own checksum, as a builder that does not set it over the payload leaves it.
        cli::TStreamWindow image(file, 0, layout.PayloadOffset);
        if (pe::PeChecksum(image, layout.Image.ChecksumOffset) == layout.Image.Checksum) {
            warn("warning: the PE header's checksum covers the launcher image only, not the payload");
            return;
        }
        throw platform::FileError(name, "the PE header's checksum " + Hex(layout.Image.Checksum) +
                                            " does not match the file's " + Hex(computed));
    }
}

}  // namespace qvx::setup
