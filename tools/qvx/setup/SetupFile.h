// setup/: setup files, a launcher with a payload: program images (PE, ELF), the setup file's
// layout and its blocks as streams, the setup builder and checker, and the launcher's branding
// (setup/branding/: PE resources, icons, version information, manifest). It may use archive/,
// names/, platform/, the library and the launcher's core (payload location, engine entry, size
// marker), never cli/ or commands/.
//
// Reading the layout of a setup file: where its payload lies, the framing of its two blocks, and
// the certificate table an Authenticode signature appends.
//
//   the launcher image     its size marker holds the payload offset (= the image's size)
//   u32 N1, N1 bytes       first block: the archive holding the engine "Installer\Quorvex.exe"
//   u32 N2, N2 bytes       second block: the archive of the data the engine installs
//   [0-7 zero bytes, the certificate table]   when the file is signed
//
// A signed file's PE header points at its certificate table; the signing tool pads the file to a
// multiple of 8 bytes in front of it. The payload ends where the table starts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <instcompress/Stream.h>

#include "platform/FileError.h"
#include "setup/PeFile.h"

namespace qvx::setup {

// The block that holds the data the engine installs.
inline constexpr int kDataBlock = 2;

// Why the first archive cannot give the launcher its engine, from the entries of the engine's name
// and their expanded sizes: "no engine entry Installer\Quorvex.exe", "the engine entry occurs 2
// times", "the engine entry is empty"; empty when it can.
std::string EngineEntryProblem(std::size_t count, std::int64_t expandedSize);

struct PayloadBlock {
    std::int64_t Offset = 0;  // file offset of the block's archive (behind its length field)
    std::uint32_t Length = 0;
};

struct SetupLayout {
    std::int64_t FileSize = 0;
    std::int64_t MarkerOffset = -1;  // the first marker characters within the launcher image; -1: none
    std::int32_t PayloadOffset = 0;  // as the launcher's payload locator finds it; < 1: none
    bool NeverPatched = false;       // the marker's offset field still holds the placeholder
    pe::PeKind ImageKind = pe::PeKind::NotPe;
    pe::PeHeaders Image;               // the launcher image's headers, when ImageKind is Pe
    std::int64_t PayloadEnd = 0;       // where the certificate table starts, or the file's size
    std::vector<PayloadBlock> Blocks;  // the blocks whose framing holds, in file order (at most 2)
    std::string Fault;                 // the first fault of the layout; empty when it all holds

    bool IsSetupFile() const noexcept { return MarkerOffset >= 0; }
    bool Signed() const noexcept { return ImageKind == pe::PeKind::Pe && Image.HasCertificateTable(); }
    // Bytes behind the certificate table (a signed file ends with the table).
    std::int64_t BytesAfterCertificateTable() const noexcept;
};

// How often the size marker's characters occur in the file.
std::int64_t CountMarkers(TStream& file);

// "<count> bytes follow <what>", with "byte follows" for one.
std::string BytesFollow(std::int64_t count, const std::string& what);

// The faults of a payload's framing, in the words of both readers (ReadSetupLayout in place, the
// forward reader of SetupStream.h).
inline constexpr char kMarkerCutShort[] = "the size marker is cut short";
inline constexpr char kNeverPatched[] = "no payload: the launcher's size marker was never patched";
inline constexpr char kSecondBlockMissing[] = "payload damaged: the second block is missing";
// "the payload offset is 0", "the payload offset -5 is negative" (for an offset <= 0).
std::string NotPositiveOffset(std::int32_t offset);
std::string OffsetPastEnd(std::int64_t offset, std::int64_t fileSize);
// "payload damaged: the first length field is cut short" (block 1 or 2).
std::string LengthFieldCutShort(int block);
std::string NegativeFirstLength(std::uint32_t length);
std::string LengthExceeds(int block, std::uint32_t length, std::int64_t behind);

// Reads the layout of the file held by the stream (from position 0; the stream is left
// anywhere). The size marker is looked for within the program image that starts the file
// (ProgramImage.h), never in the payload. Never raises for damaged contents: the first fault found
// is in Fault, and Blocks holds the blocks read before it.
SetupLayout ReadSetupLayout(TStream& file);

// Block number (1 or 2) of the layout as a stream of its own, positioned at the archive's first
// byte; raises FileError(name, the layout's fault) when that block's framing does not hold.
std::unique_ptr<TStream> OpenPayloadBlock(std::unique_ptr<TStream> file, const SetupLayout& layout, int number,
                                          const std::string& name);

}  // namespace qvx::setup
