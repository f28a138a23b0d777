#include <instcompress/Stream.h>

#include <algorithm>
#include <memory>

#include <instcompress/Exceptions.h>

namespace qvx {

std::int64_t TStream::Size() {
    const std::int64_t position = Seek(0, SeekOrigin::Current);
    const std::int64_t size = Seek(0, SeekOrigin::End);
    Seek(position, SeekOrigin::Begin);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

void TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count <= 0) return;
    const auto pieceSize = static_cast<std::int32_t>(std::min<std::int64_t>(count, kCopyPieceSize));
    auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(pieceSize));
    while (count > 0) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, pieceSize));
        source.ReadBuffer(piece.get(), n);
        WriteBuffer(piece.get(), n);
        count -= n;
    }
}

}  // namespace qvx
