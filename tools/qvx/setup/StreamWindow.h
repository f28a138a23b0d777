// TStreamWindow: a read-only view of a run of bytes of another stream, with positions counted from
// the run's first byte. A block of a setup file is read as an archive through one. Over a stream
// read forward (its Size() is -1) a move of the window moves the stream at once (never past the
// run's end), so that an input that ends before the bytes moved over shows at that move.
#pragma once

#include <cstdint>
#include <memory>

#include <instcompress/Stream.h>

namespace qvx::cli {

class TStreamWindow final : public TStream {
public:
    // A view of length bytes of base from start; base is borrowed.
    TStreamWindow(TStream& base, std::int64_t start, std::int64_t length);
    // The same over a stream the window owns.
    TStreamWindow(std::unique_ptr<TStream> base, std::int64_t start, std::int64_t length);

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return length_; }

private:
    std::unique_ptr<TStream> owned_;
    TStream& base_;
    std::int64_t start_;
    std::int64_t length_;
    std::int64_t position_ = 0;
    bool forwardBase_;
};

}  // namespace qvx::cli
