#include <instcompress/MemoryStream.h>

#include <algorithm>
#include <cstring>

namespace qvx {

namespace {

std::int64_t NewPosition(std::int64_t position, std::int64_t size, std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == SeekOrigin::Current) base = position;
    if (origin == SeekOrigin::End) base = size;
    return std::max<std::int64_t>(0, base + offset);
}

}  // namespace

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
    const auto size = static_cast<std::int64_t>(data_.size());
    if (count <= 0 || position_ >= size) return 0;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size - position_));
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto end = static_cast<std::size_t>(position_) + static_cast<std::size_t>(count);
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = static_cast<std::int64_t>(end);
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    position_ = NewPosition(position_, static_cast<std::int64_t>(data_.size()), offset, origin);
    return position_;
}

std::int32_t TNullStream::Write(const void*, std::int32_t count) {
    if (count <= 0) return 0;
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
}

std::int64_t TNullStream::Seek(std::int64_t offset, SeekOrigin origin) {
    position_ = NewPosition(position_, size_, offset, origin);
    return position_;
}

}  // namespace qvx
