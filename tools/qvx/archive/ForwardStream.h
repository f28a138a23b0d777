// TForwardStream: an input read from front to back only, once: standard input, a pipe, a device.
// Nothing is copied aside: it is read in pieces as the reader asks, and a few bytes can be looked
// at before they are read (Peek), which is all an archive needs, since an archive's entries come
// in order and skipping one is reading past it.
//
//   - Read delivers as many bytes as asked for, fewer only at the end of the input (a pipe's short
//     reads are joined).
//   - Seek moves forward by reading past: to a position at or after the current one (from the
//     beginning or from the current position); a move back, or from the end, fails with -1.
//     A move that meets the end of the input stops there and is remembered (MovedPastEnd).
//   - Size() is -1: unknown until the end. The archive reader then reads the header forward.
//   - Sizes in the format are signed 32-bit: an input that holds more than limit bytes (2^31 - 1
//     by default) raises FileError naming that limit, so that an endless device stops.
//   - A read the system refuses raises its platform::StreamFailure.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <instcompress/Stream.h>

namespace qvx::cli {

class TForwardStream final : public TStream {
public:
    static constexpr std::int64_t kLimit = 0x7FFFFFFF;

    // Reads source (owned) from its current position; name is what messages call it.
    TForwardStream(std::unique_ptr<TStream> source, std::string name, std::int64_t limit = kLimit);

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return -1; }

    // Up to count bytes from the position on, which stays; fewer only at the end of the input.
    // The bytes stay valid until the next call.
    std::span<const std::uint8_t> Peek(std::int32_t count);
    // Whether the input ends at the position.
    bool AtEnd() { return Peek(1).empty(); }
    // A forward move met the end of the input before it reached its target.
    bool MovedPastEnd() const noexcept { return movedPastEnd_; }

private:
    // Reads from the source into buffer, at most count bytes, checking the limit; 0 at the end.
    std::int32_t Fetch(std::uint8_t* buffer, std::int32_t count);

    std::unique_ptr<TStream> source_;
    std::string name_;
    std::int64_t limit_;
    std::vector<std::uint8_t> ahead_;  // bytes fetched and not yet delivered, from head_ on
    std::size_t head_ = 0;
    std::int64_t position_ = 0;  // bytes delivered or moved past
    std::int64_t fetched_ = 0;   // bytes taken from the source
    bool ended_ = false;
    bool movedPastEnd_ = false;
    std::vector<std::uint8_t> scratch_;  // what a forward move reads past
};

}  // namespace qvx::cli
