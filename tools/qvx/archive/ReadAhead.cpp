#include "archive/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace qvx::cli {

namespace {
constexpr std::size_t kBufferSize = 65536;
}  // namespace

ReadAhead::ReadAhead(TStream& source) : source_(source), buffer_(kBufferSize) { start_ = source_.Position(); }

std::int32_t ReadAhead::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t wanted = static_cast<std::size_t>(count);
    std::size_t done = 0;
    while (done < wanted) {
        if (used_ == filled_) {
            start_ += static_cast<std::int64_t>(filled_);
            used_ = filled_ = 0;
            // A large read goes straight to the caller's buffer.
            if (wanted - done >= buffer_.size()) {
                const std::int32_t n = source_.Read(out + done, static_cast<std::int32_t>(wanted - done));
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
                start_ += n;
                continue;
            }
            const std::int32_t n = source_.Read(buffer_.data(), static_cast<std::int32_t>(buffer_.size()));
            if (n <= 0) break;
            filled_ = static_cast<std::size_t>(n);
        }
        const std::size_t piece = std::min(wanted - done, filled_ - used_);
        std::memcpy(out + done, buffer_.data() + used_, piece);
        used_ += piece;
        done += piece;
    }
    return static_cast<std::int32_t>(done);
}

std::int64_t ReadAhead::Seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t position = start_ + static_cast<std::int64_t>(used_);
    std::int64_t target = offset;
    if (origin == SeekOrigin::Current) target = position + offset;
    if (origin == SeekOrigin::End) {
        const std::int64_t size = source_.Size();
        if (size < 0) return -1;
        target = size + offset;
    }
    if (target >= start_ && target <= start_ + static_cast<std::int64_t>(filled_)) {
        used_ = static_cast<std::size_t>(target - start_);
        return target;
    }
    const std::int64_t moved = source_.Seek(target, SeekOrigin::Begin);
    if (moved < 0) return -1;
    start_ = moved;
    used_ = filled_ = 0;
    return moved;
}

}  // namespace qvx::cli
