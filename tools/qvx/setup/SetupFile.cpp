#include "setup/SetupFile.h"

#include <algorithm>
#include <array>
#include <limits>

#include <instcompress/ByteOrder.h>

#include "EngineEntry.h"
#include "PayloadLocator.h"
#include "setup/ProgramImage.h"
#include "SizeMarker.h"
#include "setup/StreamWindow.h"

namespace qvx::setup {

namespace {

constexpr std::int64_t kCertificateAlignment = 8;

bool ReadAt(TStream& file, std::int64_t offset, void* buffer, std::int32_t count) {
    file.SetPosition(offset);
    return file.Read(buffer, count) == count;
}

// Calls found(offset) for each occurrence of the marker characters that starts before limit, in
// file order, until it returns false; returns the offset it stopped at, or -1 when no further
// occurrence starts before limit.
template <typename Found>
std::int64_t ScanMarkers(TStream& file, std::int64_t limit, Found found) {
    const auto pattern = launcher::MarkerPattern();
    constexpr std::int64_t kOverlap = launcher::kMarkerPatternLength - 1;
    std::vector<char> window(65536);
    std::int64_t start = 0;
    while (start < limit) {
        file.SetPosition(start);
        const auto full = static_cast<std::int64_t>(window.size());
        const std::int64_t wanted = limit - start < full ? limit - start + kOverlap : full;
        const std::int32_t n = file.Read(window.data(), static_cast<std::int32_t>(std::min(wanted, full)));
        if (n < static_cast<std::int32_t>(pattern.size())) return -1;
        const auto end = window.begin() + n;
        for (auto hit = window.begin(); (hit = std::search(hit, end, pattern.begin(), pattern.end())) != end; ++hit) {
            const std::int64_t offset = start + (hit - window.begin());
            if (offset >= limit) return -1;
            if (!found(offset)) return offset;
        }
        start += n - kOverlap;
    }
    return -1;
}

// The file offset of the first occurrence of the marker characters that starts before imageEnd,
// or -1.
std::int64_t FindFirstMarker(TStream& file, std::int64_t imageEnd) {
    return ScanMarkers(file, imageEnd, [](std::int64_t) { return false; });
}

// Why the launcher finds no payload behind the marker at markerOffset.
std::string NoPayloadFault(TStream& file, std::int64_t markerOffset, std::int64_t fileSize, bool& neverPatched) {
    std::array<std::uint8_t, 4> field{};
    if (!ReadAt(file, markerOffset + launcher::kMarkerPatternLength, field.data(), 4)) return kMarkerCutShort;
    const auto offset = static_cast<std::int32_t>(LoadLe32(field.data()));
    if (field[0] == static_cast<std::uint8_t>(launcher::kPlaceholderByte)) {
        // An offset behind the marker, inside the file, was patched in: its first byte happens to be
        // the placeholder's.
        if (offset > markerOffset + static_cast<std::int64_t>(launcher::kSizeMarkerLength) && offset + 4 <= fileSize)
            return "the payload offset " + std::to_string(offset) +
                   " begins with the byte of the placeholder \"X\": the launcher takes it for never patched and "
                   "never starts the engine (built by a tool that does not pad the launcher image)";
        neverPatched = true;
        return kNeverPatched;
    }
    if (offset <= 0) return NotPositiveOffset(offset);
    return OffsetPastEnd(offset, fileSize);
}

// The certificate table of a signed file: where the payload ends, or the fault.
std::string PlaceCertificateTable(SetupLayout& layout) {
    const std::int64_t start = layout.Image.CertificateTableOffset;
    const std::int64_t end = start + layout.Image.CertificateTableSize;
    const std::string where =
        " (" + std::to_string(layout.Image.CertificateTableSize) + " bytes at offset " + std::to_string(start) + ")";
    if (end > layout.FileSize)
        return "the certificate table" + where + " runs past the end of the file (" + std::to_string(layout.FileSize) +
               " bytes)";
    if (start <= layout.PayloadOffset) return "the certificate table" + where + " lies inside the launcher image";
    layout.PayloadEnd = start;
    return {};
}

// Reads the framing of one block at lengthPosition; appends it to the layout or returns the fault.
std::string ReadBlock(TStream& file, SetupLayout& layout, std::int64_t lengthPosition) {
    const bool first = layout.Blocks.empty();
    const int number = first ? 1 : 2;
    if (!first && lengthPosition == layout.PayloadEnd) return kSecondBlockMissing;
    std::array<std::uint8_t, 4> b{};
    if (lengthPosition + 4 > layout.PayloadEnd || !ReadAt(file, lengthPosition, b.data(), 4))
        return LengthFieldCutShort(number);
    PayloadBlock block;
    block.Offset = lengthPosition + 4;
    block.Length = LoadLe32(b.data());
    // The launcher copies the first archive with a signed 32-bit length.
    if (first && static_cast<std::int32_t>(block.Length) < 0) return NegativeFirstLength(block.Length);
    const std::int64_t behind = layout.PayloadEnd - block.Offset;
    if (block.Length > behind) return LengthExceeds(number, block.Length, behind);
    layout.Blocks.push_back(block);
    return {};
}

// Bytes between the second block and the payload's end: none, or in a signed file the zero bytes
// that align the certificate table.
std::string CheckPayloadEnd(TStream& file, const SetupLayout& layout) {
    const std::int64_t end = layout.Blocks.back().Offset + layout.Blocks.back().Length;
    const std::int64_t extra = layout.PayloadEnd - end;
    if (extra == 0) return {};
    const std::string fault = "payload damaged: " + BytesFollow(extra, "the second archive");
    if (!layout.Signed() || extra >= kCertificateAlignment || layout.PayloadEnd % kCertificateAlignment != 0)
        return fault;
    std::array<std::uint8_t, kCertificateAlignment> padding{};
    if (!ReadAt(file, end, padding.data(), static_cast<std::int32_t>(extra))) return fault;
    if (std::any_of(padding.begin(), padding.begin() + extra, [](std::uint8_t b) { return b != 0; })) return fault;
    return {};
}

}  // namespace

std::int64_t CountMarkers(TStream& file) {
    std::int64_t count = 0;
    ScanMarkers(file, std::numeric_limits<std::int64_t>::max(), [&](std::int64_t) { return ++count > 0; });
    return count;
}

std::string EngineEntryProblem(std::size_t count, std::int64_t expandedSize) {
    if (count == 0) return std::string("no engine entry ") + launcher::kEngineEntryName;
    if (count > 1) return "the engine entry occurs " + std::to_string(count) + " times";
    if (expandedSize == 0) return "the engine entry is empty";
    return {};
}

std::string NotPositiveOffset(std::int32_t offset) {
    return offset == 0 ? "the payload offset is 0" : "the payload offset " + std::to_string(offset) + " is negative";
}

std::string OffsetPastEnd(std::int64_t offset, std::int64_t fileSize) {
    return "the payload offset " + std::to_string(offset) + " lies past the end of the file (" +
           std::to_string(fileSize) + " bytes)";
}

std::string LengthFieldCutShort(int block) {
    return std::string("payload damaged: the ") + (block == 1 ? "first" : "second") + " length field is cut short";
}

std::string NegativeFirstLength(std::uint32_t length) {
    return "payload damaged: the first archive's length " + std::to_string(length) + " is negative";
}

std::string LengthExceeds(int block, std::uint32_t length, std::int64_t behind) {
    return std::string("payload damaged: the ") + (block == 1 ? "first" : "second") + " archive's length " +
           std::to_string(length) + " exceeds the " + std::to_string(behind) + " bytes behind it";
}

std::string BytesFollow(std::int64_t count, const std::string& what) {
    return std::to_string(count) + (count == 1 ? " byte follows " : " bytes follow ") + what;
}

std::int64_t SetupLayout::BytesAfterCertificateTable() const noexcept {
    if (!Signed()) return 0;
    return FileSize - (std::int64_t{Image.CertificateTableOffset} + Image.CertificateTableSize);
}

SetupLayout ReadSetupLayout(TStream& file) {
    SetupLayout layout;
    layout.FileSize = file.Size();
    layout.PayloadEnd = layout.FileSize;
    const std::vector<std::uint8_t> head = pe::ReadHead(file);
    const cli::ImageExtent extent = cli::ProgramImageExtent(head);
    if (extent.End < 0) {
        layout.Fault = "not a setup file: " + extent.Fault;
        return layout;
    }
    layout.MarkerOffset = FindFirstMarker(file, extent.End);
    if (layout.MarkerOffset < 0) {
        layout.Fault = "no size marker: not a setup file";
        return layout;
    }
    layout.PayloadOffset = launcher::PayloadLocator(file);
    if (layout.PayloadOffset < 1) {
        layout.Fault = NoPayloadFault(file, layout.MarkerOffset, layout.FileSize, layout.NeverPatched);
        return layout;
    }
    const pe::PeReadResult image = pe::ReadPeHeaders(head);
    layout.ImageKind = image.Kind;
    layout.Image = image.Headers;
    if (layout.Signed()) layout.Fault = PlaceCertificateTable(layout);
    if (layout.Fault.empty()) layout.Fault = ReadBlock(file, layout, layout.PayloadOffset);
    if (layout.Fault.empty())
        layout.Fault = ReadBlock(file, layout, layout.Blocks.back().Offset + layout.Blocks.back().Length);
    if (layout.Fault.empty()) layout.Fault = CheckPayloadEnd(file, layout);
    return layout;
}

std::unique_ptr<TStream> OpenPayloadBlock(std::unique_ptr<TStream> file, const SetupLayout& layout, int number,
                                          const std::string& name) {
    const auto index = static_cast<std::size_t>(number - 1);
    if (number < 1 || index >= layout.Blocks.size())
        throw platform::FileError(name, layout.Fault.empty() ? "no block " + std::to_string(number) : layout.Fault);
    const PayloadBlock& block = layout.Blocks[index];
    return std::make_unique<cli::TStreamWindow>(std::move(file), block.Offset, block.Length);
}

}  // namespace qvx::setup
