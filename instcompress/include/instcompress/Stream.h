// TStream: the byte stream every part of the library reads and writes through. The library never
// takes ownership of a stream it is given: callers keep their streams alive for the call.
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
    // Moves the position and returns the new one (-1 when the stream cannot seek).
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    // The stream's size in bytes; by default found by seeking to the end and back. -1 when the
    // stream cannot tell (a pipe read forward): the archive reader then reads its header forward.
    virtual std::int64_t Size();

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }

    // Reads or writes exactly count bytes, raising EReadError / EWriteError otherwise.
    void ReadBuffer(void* buffer, std::int32_t count);
    void WriteBuffer(const void* buffer, std::int32_t count);

    // Copies exactly count bytes from source's current position, in pieces of at most 61,440 bytes
    // (EReadError when source runs short, EWriteError when this stream takes fewer); a count of 0
    // or less copies nothing.
    void CopyFrom(TStream& source, std::int64_t count);

    static constexpr std::int32_t kCopyPieceSize = 61440;
};

}  // namespace qvx
