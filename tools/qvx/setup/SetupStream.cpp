#include "setup/SetupStream.h"

#include <algorithm>
#include <array>

#include <instcompress/ByteOrder.h>

#include "setup/PeFile.h"
#include "setup/ProgramImage.h"
#include "setup/SetupFile.h"
#include "SizeMarker.h"
#include "setup/StreamWindow.h"

namespace qvx::setup {

namespace {

constexpr std::int32_t kScanPiece = 65536;

// Reads forward to the first marker that starts before imageEnd; true with the stream at the
// marker, false at the end of the image or the input.
bool SkipToMarker(cli::TForwardStream& stream, std::int64_t imageEnd) {
    const auto pattern = launcher::MarkerPattern();
    constexpr std::int64_t kOverlap = launcher::kMarkerPatternLength - 1;
    for (;;) {
        const std::int64_t here = stream.Position();
        if (here >= imageEnd) return false;
        const auto wanted = std::min<std::int64_t>(kScanPiece, imageEnd - here + kOverlap);
        const auto piece = stream.Peek(static_cast<std::int32_t>(wanted));
        if (piece.size() < pattern.size()) return false;
        const auto hit = std::search(piece.begin(), piece.end(), pattern.begin(), pattern.end(),
                                     [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
        if (hit != piece.end()) {
            const std::int64_t at = here + (hit - piece.begin());
            if (at >= imageEnd) return false;
            stream.Seek(at, SeekOrigin::Begin);
            return true;
        }
        stream.Seek(static_cast<std::int64_t>(piece.size()) - kOverlap, SeekOrigin::Current);
    }
}

// The payload offset in the marker's field at the stream's position, or the fault.
std::int32_t PayloadOffset(cli::TForwardStream& stream, const std::string& name) {
    const auto field = stream.Peek(launcher::kSizeMarkerLength).subspan(launcher::kMarkerPatternLength);
    if (field.size() < 4) throw platform::FileError(name, kMarkerCutShort);
    if (field[0] == static_cast<std::uint8_t>(launcher::kPlaceholderByte))
        throw platform::FileError(name, kNeverPatched);
    const auto offset = static_cast<std::int32_t>(LoadLe32(field.data()));
    if (offset <= 0) throw platform::FileError(name, NotPositiveOffset(offset));
    const std::int64_t markerEnd = stream.Position() + static_cast<std::int64_t>(launcher::kSizeMarkerLength);
    if (offset < markerEnd)
        throw platform::FileError(name, "the payload offset " + std::to_string(offset) +
                                            " lies inside the launcher image, " +
                                            "before the end of its size marker at " + std::to_string(markerEnd));
    return offset;
}

// Reads the length field of a block; the stream is then at the block's archive.
std::uint32_t ReadBlockLength(cli::TForwardStream& stream, int number, const std::string& name) {
    if (number == 2 && stream.AtEnd()) throw platform::FileError(name, kSecondBlockMissing);
    std::array<std::uint8_t, 4> field{};
    if (stream.Read(field.data(), 4) != 4) throw platform::FileError(name, LengthFieldCutShort(number));
    const std::uint32_t length = LoadLe32(field.data());
    // The launcher copies the first archive with a signed 32-bit length.
    if (number == 1 && static_cast<std::int32_t>(length) < 0)
        throw platform::FileError(name, NegativeFirstLength(length));
    return length;
}

}  // namespace

std::unique_ptr<TStream> OpenStreamedPayloadBlock(cli::TForwardStream& stream, int number, const std::string& name) {
    const cli::ImageExtent image = cli::ProgramImageExtent(stream.Peek(static_cast<std::int32_t>(pe::kHeadSize)));
    if (image.End < 0 || !SkipToMarker(stream, image.End)) return nullptr;
    const std::int32_t offset = PayloadOffset(stream, name);
    if (stream.Seek(offset, SeekOrigin::Begin) != offset)
        throw platform::FileError(name, OffsetPastEnd(offset, stream.Position()));
    std::uint32_t length = ReadBlockLength(stream, 1, name);
    if (number == 2) {
        const std::int64_t start = stream.Position();
        if (stream.Seek(length, SeekOrigin::Current) != start + length)
            throw platform::FileError(name, LengthExceeds(1, length, stream.Position() - start));
        length = ReadBlockLength(stream, 2, name);
    }
    return std::make_unique<cli::TStreamWindow>(stream, stream.Position(), length);
}

}  // namespace qvx::setup
