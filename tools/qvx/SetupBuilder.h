// Building and inspecting setup files: a copy of the launcher with the payload appended behind it
// and the payload's offset patched into the launcher's size marker.
//
// Layout of a setup file:
//   the launcher image, its offset field holding the image's size (= the payload offset)
//   u32 N1, then the first archive (N1 bytes): the engine as entry "Installer\Quorvex.exe"
//   u32 N2, then the second archive (N2 bytes): the data the engine installs
// All integers little-endian.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>

namespace qvx::setup {

// A failure tied to a file: reported as "qvx: <File>: <message>".
class SetupError : public std::runtime_error {
public:
    SetupError(std::string file, const std::string& message) : std::runtime_error(message), File(std::move(file)) {}
    std::string File;
};

struct BuildOptions {
    std::string Launcher;
    std::string Engine;
    std::string DataDirectory;  // archive this directory as the second block, or
    std::string DataArchive;    // use this archive file as it is (neither: an empty archive)
    std::string Output;
    CompressMethod Method = cmLH5;  // compression of both archives the builder writes
    unsigned Jobs = 0;            // data entries compressed at once; 0 = one per processor, at most 8
};

// Writes the setup file atomically (a temporary sibling renamed over Output) and makes it
// executable. Refuses a launcher that does not hold exactly one unpatched size marker.
void BuildSetup(const BuildOptions& options);

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
};

// Reads what a setup file carries. Raises SetupError for a payload whose framing is damaged.
SetupSummary InspectSetup(const std::string& path);

// Where the launcher's size marker lies: offsets of every occurrence of the marker characters.
std::vector<std::size_t> FindMarkers(const std::vector<char>& image);

}  // namespace qvx::setup
