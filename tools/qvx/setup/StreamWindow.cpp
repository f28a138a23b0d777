#include "setup/StreamWindow.h"

#include <algorithm>

namespace qvx::cli {

TStreamWindow::TStreamWindow(TStream& base, std::int64_t start, std::int64_t length)
    : base_(base), start_(start), length_(length), forwardBase_(base.Size() < 0) {}

TStreamWindow::TStreamWindow(std::unique_ptr<TStream> base, std::int64_t start, std::int64_t length)
    : owned_(std::move(base)), base_(*owned_), start_(start), length_(length), forwardBase_(base_.Size() < 0) {}

std::int32_t TStreamWindow::Read(void* buffer, std::int32_t count) {
    const std::int64_t left = length_ - position_;
    if (count <= 0 || left <= 0) return 0;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, left));
    base_.SetPosition(start_ + position_);
    const std::int32_t got = base_.Read(buffer, n);
    position_ += got;
    return got;
}

std::int64_t TStreamWindow::Seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t from = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position_ : length_;
    position_ = std::max<std::int64_t>(0, from + offset);
    if (forwardBase_) base_.SetPosition(start_ + std::min(position_, length_));
    return position_;
}

}  // namespace qvx::cli
