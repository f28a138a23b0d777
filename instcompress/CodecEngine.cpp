#include "CodecEngine.h"

#include <algorithm>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

namespace qvx {

CodecEngine::CodecEngine(TStream& dest, TStream& source, std::int32_t sourceSize, std::int32_t outputLimit,
                         TShowProgressEvent progress, YieldHook yield)
    : dest_(dest),
      source_(source),
      progress_(std::move(progress)),
      yield_(std::move(yield)),
      inCur_(inBuf_),
      inEnd_(inBuf_),
      outCur_(outBuf_),
      outStop_(outBuf_),
      remainingInput_(sourceSize),
      outputLimit_(outputLimit) {
    if (sourceSize < 0) throw EInvalidSize("Negative source size");
    UpdateOutputStop();
}

std::int32_t CodecEngine::Percent(std::int32_t a, std::int32_t b) noexcept {
    if (b <= 100000) return b == 0 ? 0 : a * 100 / b;
    return a / (b / 100);
}

std::uint8_t CodecEngine::Refill() {
    // The block just used up joins the input checksum before it is replaced.
    inputChecksum_ = ByteSum(inBuf_, static_cast<std::size_t>(inEnd_ - inBuf_), inputChecksum_);
    inCur_ = inEnd_ = inBuf_;

    endOfInput_ = true;
    if (remainingInput_ == 0) return 0;
    requestSize_ = std::min(requestSize_, remainingInput_);
    const std::int32_t n = std::clamp<std::int32_t>(source_.Read(inBuf_, requestSize_), 0, requestSize_);
    remainingInput_ -= n;
    if (n == 0) {
        if (checked_) throw ETruncatedArchive(kStoredPastEndMessage);
        return 0;
    }
    inEnd_ = inBuf_ + n;
    if (progress_) {
        consumed_ += n;
        std::int32_t percentageDone = Percent(consumed_, consumed_ + remainingInput_);
        progress_(percentageDone);
        if (percentageDone == -1) {
            cancelled_ = true;
            if (checked_) throw Stopped{};
            return 0;  // the block stays for later reads
        }
    }
    if (yield_) yield_();
    endOfInput_ = false;
    return *inCur_++;
}

void CodecEngine::UpdateOutputStop() noexcept {
    const std::int64_t allowed = static_cast<std::int64_t>(outputLimit_) - flushedCount_;
    outStop_ = outBuf_ + std::clamp<std::int64_t>(allowed, 0, kBlockSize);
}

void CodecEngine::RaiseDataEndsEarly() { throw EDataError(kDataEndsEarlyMessage); }

void CodecEngine::MakeRoom() {
    if (flushedCount_ + (outCur_ - outBuf_) >= outputLimit_) {
        if (checked_) throw EDataError(kDataRunsPastSizeMessage);
        throw EUnableToCompress();
    }
    // The buffer is full: it goes out only now that the next byte has arrived.
    if (yield_) yield_();
    dest_.WriteBuffer(outBuf_, kBlockSize);
    outputChecksum_ = ByteSum(outBuf_, kBlockSize, outputChecksum_);
    flushedCount_ += kBlockSize;
    outCur_ = outBuf_;
    UpdateOutputStop();
}

void CodecEngine::FlushOutput() {
    const auto n = static_cast<std::int32_t>(outCur_ - outBuf_);
    if (n == 0) return;
    dest_.WriteBuffer(outBuf_, n);
    outputChecksum_ = ByteSum(outBuf_, static_cast<std::size_t>(n), outputChecksum_);
    flushedCount_ += n;
    outCur_ = outBuf_;
    UpdateOutputStop();
}

std::uint32_t CodecEngine::InputChecksum() const noexcept {
    return ByteSum(inBuf_, static_cast<std::size_t>(inCur_ - inBuf_), inputChecksum_);
}

std::uint32_t CodecEngine::OutputChecksum() const noexcept {
    return ByteSum(outBuf_, static_cast<std::size_t>(outCur_ - outBuf_), outputChecksum_);
}

std::int32_t CodecEngine::OutputCount() const noexcept {
    return static_cast<std::int32_t>(flushedCount_ + (outCur_ - outBuf_));
}

}  // namespace qvx
