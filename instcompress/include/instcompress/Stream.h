// TStream: the byte stream every part of the system reads and writes through.
#pragma once

#include <cstdint>

#include "Export.h"

namespace qvx {

enum class SeekOrigin { Begin, Current, End };

class INSTCOMPRESS_API TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Reads up to count bytes; returns the number delivered (0 at the end or on a failed read).
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Writes up to count bytes; returns the number written.
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    // Moves the position and returns the new one.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size();

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }

    // Reads or writes exactly count bytes, raising EReadError / EWriteError otherwise.
    void ReadBuffer(void* buffer, std::int32_t count);
    void WriteBuffer(const void* buffer, std::int32_t count);

    // Copies exactly count bytes from source's current position, in pieces of at most 61,440 bytes.
    void CopyFrom(TStream& source, std::int64_t count);

    static constexpr std::int32_t kCopyPieceSize = 61440;
};

}  // namespace qvx
