// The codec engine: the byte reader and writer of one compress or expand request between two
// streams, and the codecs' only contact with the outside world: a buffered byte reader (ReadByte,
// EndOfInput) over the source, a buffered byte writer (WriteByte) over the destination, the
// byte-sum checksums of both sides, progress reporting with cancellation, the output limit and the
// yield between blocks. Codecs include this header and nothing above it; the dispatch of each
// direction (ExpandCodec.cpp, CompressCodec.cpp) sets an engine up and calls the codec.
//
// Every request has its own CodecEngine, so requests on different threads never meet. Streams are
// touched only in blocks of up to 8192 bytes. ReadByte and WriteByte are inline and non-virtual;
// their common paths are one comparison, one memory access and one pointer advance (the checksums
// are summed per block, which gives the same values as summing per byte).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <instcompress/CodecSettings.h>
#include <instcompress/Events.h>
#include <instcompress/Stream.h>

namespace qvx {

class CodecEngine {
public:
    static constexpr std::int32_t kBlockSize = 8192;
    static constexpr std::int32_t kExpandOutputLimit = 0x7FFFFFFF;

    // sourceSize: bytes the engine may read from source (0 or more; EInvalidSize otherwise).
    // outputLimit: bytes WriteByte accepts before it raises EUnableToCompress. progress may be
    // unset; yield (empty: none) runs once per input block read and once per full output block.
    CodecEngine(TStream& dest, TStream& source, std::int32_t sourceSize, std::int32_t outputLimit,
                TShowProgressEvent progress, YieldHook yield = YieldTimeSlice);
    CodecEngine(const CodecEngine&) = delete;
    CodecEngine& operator=(const CodecEngine&) = delete;

    // Next input byte; 0 with EndOfInput() set when no byte can be delivered (end of the input, or
    // the progress handler cancelled).
    std::uint8_t ReadByte() {
        if (inCur_ < inEnd_) [[likely]]
            return *inCur_++;
        return Refill();
    }

    // Appends one byte; raises EUnableToCompress once the output limit is used up, and lets a
    // stream write failure pass.
    void WriteByte(std::uint8_t b) {
        if (outCur_ >= outStop_) [[unlikely]]
            MakeRoom();
        *outCur_++ = b;
    }

    // Appends n bytes: exactly what n WriteByte calls would do (the same buffer flushes, the same
    // point of EUnableToCompress), copied a buffer segment at a time. p may not point into the
    // engine's own buffers.
    void WriteBytes(const std::uint8_t* p, std::size_t n) {
        while (n != 0) {
            if (outCur_ >= outStop_) MakeRoom();
            const std::size_t k = std::min(n, static_cast<std::size_t>(outStop_ - outCur_));
            std::memcpy(outCur_, p, k);
            outCur_ += k;
            p += k;
            n -= k;
        }
    }

    // Direct output for a decoder's hot loop, which keeps the cursor in a local: a byte stored
    // through the engine's own cursor makes the compiler reload the engine's members (and the
    // codec's) after every byte. Bytes stored from OutputCursor() up to OutputStop() count once the
    // advanced cursor is handed back with SetOutputCursor; at the stop, hand it back and use
    // WriteByte, which makes room. Hand it back before any other output call, and at the end.
    std::uint8_t* OutputCursor() const noexcept { return outCur_; }
    std::uint8_t* OutputStop() const noexcept { return outStop_; }
    void SetOutputCursor(std::uint8_t* cursor) noexcept { outCur_ = cursor; }

    // Checked expansion (CodecSettings::CheckedExpansion), set before the codec runs: the output
    // limit is the expanded size and passing it raises EDataError instead of EUnableToCompress, a
    // source that delivers fewer than sourceSize bytes raises ETruncatedArchive, a cancel throws
    // Stopped, and UsedPastEnd raises EDataError.
    void CheckExpansion() noexcept { checked_ = true; }
    // Thrown through the codec when the progress handler cancels a checked expansion; ExpandCodec
    // catches it and ends the request with the bytes produced so far.
    struct Stopped {};
    // A decoder reports that it has used bits past the end of its input (so the stored data ends
    // before its output is complete). In a checked expansion this raises EDataError; otherwise the
    // codec goes on, reading zero bits. Decoders call it where they take input past the end, never
    // per symbol.
    void UsedPastEnd() {
        if (checked_) RaiseDataEndsEarly();
    }

    bool EndOfInput() const noexcept { return endOfInput_; }
    // The progress handler cancelled at least once in this request.
    bool Cancelled() const noexcept { return cancelled_; }
    // A decoder that knows exactly how many bits of its input it used reports them at its end
    // (bits past the end of the input count too); -1 until then.
    void ReportInputBitsUsed(std::int64_t bits) noexcept { inputBitsUsed_ = bits; }
    std::int64_t InputBitsUsed() const noexcept { return inputBitsUsed_; }

    // Direct input for an encoder's bulk fill: the bytes from InputCursor() up to InputEnd() are the
    // ones the next ReadByte calls would return. Hand the advanced cursor back with SetInputCursor;
    // at the end of the range use ReadByte, which refills.
    const std::uint8_t* InputCursor() const noexcept { return inCur_; }
    const std::uint8_t* InputEnd() const noexcept { return inEnd_; }
    void SetInputCursor(const std::uint8_t* cursor) noexcept { inCur_ = cursor; }
    // True when the input is used up for good: the end was reported, no byte is left to read and
    // none is buffered, so every further ReadByte returns 0 and changes nothing.
    bool InputExhausted() const noexcept { return endOfInput_ && remainingInput_ == 0 && inEnd_ == inBuf_; }

    // Writes the bytes still in the output buffer (the end of a successful request).
    void FlushOutput();

    std::uint32_t InputChecksum() const noexcept;
    std::uint32_t OutputChecksum() const noexcept;
    // Bytes accepted by WriteByte so far.
    std::int32_t OutputCount() const noexcept;

    // The share a of b in percent, as progress reports it (signed 32-bit, truncating).
    static std::int32_t Percent(std::int32_t a, std::int32_t b) noexcept;

private:
    [[noreturn]] static void RaiseDataEndsEarly();
    std::uint8_t Refill();
    void MakeRoom();
    void UpdateOutputStop() noexcept;

    TStream& dest_;
    TStream& source_;
    TShowProgressEvent progress_;
    YieldHook yield_;

    const std::uint8_t* inCur_;
    const std::uint8_t* inEnd_;
    std::uint8_t* outCur_;
    std::uint8_t* outStop_;  // the buffer's end, or earlier where the output limit falls

    bool endOfInput_ = false;
    bool cancelled_ = false;
    bool checked_ = false;
    std::int64_t inputBitsUsed_ = -1;
    std::int32_t remainingInput_;
    std::int32_t requestSize_ = kBlockSize;
    std::int32_t consumed_ = 0;
    std::int32_t outputLimit_;          // bytes accepted at most, over the whole request
    std::int64_t flushedCount_ = 0;     // bytes accepted before the current output buffer
    std::uint32_t inputChecksum_ = 0;   // over the input blocks already used up
    std::uint32_t outputChecksum_ = 0;  // over the output blocks already written

    std::uint8_t inBuf_[kBlockSize];
    std::uint8_t outBuf_[kBlockSize];
};

}  // namespace qvx
