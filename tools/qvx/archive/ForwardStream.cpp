#include "archive/ForwardStream.h"

#include <algorithm>
#include <cstring>

#include "platform/FileError.h"

namespace qvx::cli {

namespace {

constexpr std::int32_t kPieceSize = 65536;

}  // namespace

TForwardStream::TForwardStream(std::unique_ptr<TStream> source, std::string name, std::int64_t limit)
    : source_(std::move(source)), name_(std::move(name)), limit_(limit) {}

std::int32_t TForwardStream::Fetch(std::uint8_t* buffer, std::int32_t count) {
    if (ended_ || count <= 0) return 0;
    // One byte past the limit tells an input that holds more.
    const auto want = static_cast<std::int32_t>(std::min<std::int64_t>(count, limit_ - fetched_ + 1));
    const std::int32_t n = source_->Read(buffer, want);
    if (n <= 0) {
        ended_ = true;
        return 0;
    }
    fetched_ += n;
    if (fetched_ > limit_)
        throw platform::FileError(name_, "input larger than " + std::to_string(limit_) +
                                             " bytes: sizes in the format are signed 32-bit (at most 2 GiB - 1)");
    return n;
}

std::span<const std::uint8_t> TForwardStream::Peek(std::int32_t count) {
    if (head_ > 0 && head_ == ahead_.size()) {
        ahead_.clear();
        head_ = 0;
    }
    const auto wanted = static_cast<std::size_t>(std::max(count, 0));
    while (ahead_.size() - head_ < wanted && !ended_) {
        if (head_ > 0) {
            ahead_.erase(ahead_.begin(), ahead_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
        const std::size_t have = ahead_.size();
        ahead_.resize(std::max(wanted, have + 1));
        const std::int32_t n = Fetch(ahead_.data() + have, static_cast<std::int32_t>(ahead_.size() - have));
        ahead_.resize(have + static_cast<std::size_t>(n));
    }
    const std::size_t available = std::min(ahead_.size() - head_, wanted);
    return {ahead_.data() + head_, available};
}

std::int32_t TForwardStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int32_t done = 0;
    const std::size_t buffered = std::min(ahead_.size() - head_, static_cast<std::size_t>(count));
    if (buffered > 0) {
        std::memcpy(out, ahead_.data() + head_, buffered);
        head_ += buffered;
        done = static_cast<std::int32_t>(buffered);
    }
    while (done < count) {
        const std::int32_t n = Fetch(out + done, count - done);
        if (n == 0) break;
        done += n;
    }
    position_ += done;
    return done;
}

std::int64_t TForwardStream::Seek(std::int64_t offset, SeekOrigin origin) {
    if (origin == SeekOrigin::End) return -1;
    const std::int64_t target = origin == SeekOrigin::Begin ? offset : position_ + offset;
    if (target < position_) return -1;
    if (scratch_.empty() && target > position_) scratch_.resize(kPieceSize);
    while (position_ < target) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(target - position_, kPieceSize));
        if (Read(scratch_.data(), n) < n) {
            movedPastEnd_ = true;
            break;
        }
    }
    return position_;
}

}  // namespace qvx::cli
