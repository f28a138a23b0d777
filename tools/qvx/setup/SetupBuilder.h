// Building and inspecting setup files: a copy of the launcher with the payload appended behind it
// and the payload's offset patched into the launcher's size marker.
//
// Layout of a setup file:
//   the launcher image, padded with zero bytes to a multiple of 16 bytes, its offset field holding
//   the padded size (= the payload offset; its low byte is never the placeholder's "X")
//   u32 N1, then the first archive (N1 bytes): the engine as entry "Installer\Quorvex.exe", always
//   compressed with LH5
//   u32 N2, then the second archive (N2 bytes): the data the engine installs
// All integers little-endian.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Stream.h>

#include "names/CodePage.h"
#include "setup/LauncherBranding.h"
#include "setup/SetupFile.h"
#include "archive/SourceTree.h"

namespace qvx::setup {

struct BuildOptions {
    std::string Launcher;
    std::string Engine;
    std::string DataDirectory;  // archive this directory as the second block, or
    std::string DataArchive;    // use this archive file as it is (neither: an empty archive)
    std::string Output;
    CompressMethod Method = cmLH5;  // compression of the data archive the builder writes
    unsigned Jobs = 0;              // data entries compressed at once; 0 = one per processor, at most 8
    bool Force = false;             // build with an engine that does not suit the launcher
    cli::CodePage Names = cli::CodePage::Default();   // code page of the data's entry names
    cli::LinkPolicy Links = cli::LinkPolicy::Inside;  // symbolic links in the data directory
    bool Utc = false;                                 // store the times as UTC
    std::string MTime;                                // --mtime; empty: SOURCE_DATE_EPOCH, if set
    BrandOptions Brand;                               // resources of the Windows launcher's copy (none: as it is)
    // The stream an Output of "-" is written to, asked for once the setup file is whole (the
    // command gives standard output).
    std::function<std::unique_ptr<TStream>()> StandardOutput;
    // Receives the warnings of a forced build and of the data's collection (file or "", message).
    std::function<void(const std::string&, const std::string&)> Warn;
};

// Writes the setup file atomically (a temporary sibling renamed over Output) and makes it
// executable; an Output of "-" writes it to standard output. Refuses a launcher that does not hold
// exactly one unpatched size marker, and unless Force an engine that does not suit the launcher.
// The copy of a Windows launcher is branded first (LauncherBranding.h). Behind a Windows launcher
// the PE header's checksum is set over the whole file. Before the file is committed it is read
// back as the launcher reads it (ReadBackAsLauncher); a file that would not start its engine is
// never written.
void BuildSetup(const BuildOptions& options);

// Pads a launcher image with zero bytes to a multiple of 16 bytes, so that the payload offset
// behind it ends in a zero nibble and its first byte is never the placeholder's "X".
void PadLauncherImage(std::vector<char>& image);

// Reads the setup file in the stream as the launcher will: the size marker occurs exactly once,
// the payload locator finds offset, the first archive's length fits the file, and the engine entry
// expands completely and verifies. Raises FileError(name, ...) naming the first fault.
void ReadBackAsLauncher(TStream& file, std::int32_t offset, const std::string& name);

struct EntrySummary {
    std::string Name;
    std::int32_t ExpandedSize = 0;
    std::int32_t StoredSize = 0;
    CompressMethod Method = cmNON;
    std::uint32_t Checksum = 0;
};

struct BlockSummary {
    std::int64_t Offset = 0;  // file offset of the archive (behind its length field)
    std::uint32_t Length = 0;
    std::string MethodId;
    std::vector<EntrySummary> Entries;
};

struct SetupSummary {
    std::int32_t PayloadOffset = 0;  // as the launcher's payload locator sees it; < 1: no payload
    std::vector<BlockSummary> Blocks;
    bool Signed = false;
    std::uint32_t CertificateTableOffset = 0;
    std::uint32_t CertificateTableSize = 0;
};

// Reads what the setup file in the stream carries (no payload: a file without the size marker, or
// a launcher never patched). Raises FileError(path, ...) for a damaged payload.
SetupSummary InspectSetup(TStream& file, const std::string& path);

// Where the launcher's size marker lies: offsets of every occurrence of the marker characters.
std::vector<std::size_t> FindMarkers(const std::vector<char>& image);

}  // namespace qvx::setup
