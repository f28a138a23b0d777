// TMemoryStream: a stream over a growable byte vector it owns. Writing past the end grows it;
// seeking before the start stops at 0, seeking past the end is allowed (a later write fills the
// gap with zeros).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Export.h"
#include "Stream.h"

namespace qvx {

class INSTCOMPRESS_API TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    explicit TMemoryStream(std::span<const std::uint8_t> data) : data_(data.begin(), data.end()) {}

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    // The bytes held.
    const std::vector<std::uint8_t>& Data() const noexcept { return data_; }
    // Moves the bytes out; the stream is left empty at position 0.
    std::vector<std::uint8_t> TakeData() noexcept {
        position_ = 0;
        return std::move(data_);
    }

private:
    std::vector<std::uint8_t> data_;
    std::int64_t position_ = 0;
};

// TNullStream: accepts and discards every byte written, keeping only the size it would have;
// reads deliver nothing. For checking an archive without keeping the data.
class INSTCOMPRESS_API TNullStream final : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return size_; }

private:
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

}  // namespace qvx
