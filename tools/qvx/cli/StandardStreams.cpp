#include "cli/StandardStreams.h"

#include <cerrno>
#include <iostream>

#include "cli/Cli.h"
#include "cli/ErrorReport.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"

namespace qvx::cli {

namespace {

constexpr std::size_t kOutputBufferSize = 8192;
constexpr std::size_t kErrorBufferSize = 1024;

// The checked buffer behind std::cout, when one is installed.
CheckedTextBuffer* OutputBuffer() { return dynamic_cast<CheckedTextBuffer*>(std::cout.rdbuf()); }

// Binary output after the text written before it; failures go to the text buffer.
class TStandardOutput final : public TStream {
public:
    TStandardOutput() : file_(platform::FileStream::Standard(platform::StandardStream::Output)) {}

    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        CheckedTextBuffer* text = OutputBuffer();
        if (text != nullptr && !text->Flush()) throw StandardOutputLost();
        try {
            return file_->Write(buffer, count);
        } catch (const platform::StreamFailure& e) {
            if (text == nullptr) throw;
            text->Fail(e.Error());
            throw StandardOutputLost();
        }
    }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return -1; }

private:
    std::unique_ptr<platform::FileStream> file_;
};

}  // namespace

CheckedTextBuffer::CheckedTextBuffer(platform::StandardStream which, std::size_t size) : which_(which), buffer_(size) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedTextBuffer::~CheckedTextBuffer() { Flush(); }

void CheckedTextBuffer::Fail(int error) noexcept {
    if (error_ == 0) error_ = error;
}

bool CheckedTextBuffer::Flush() {
    const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (error_ != 0) return false;  // dropped: the stream has failed
    if (!pending.empty()) Fail(platform::WriteText(which_, pending));
    return error_ == 0;
}

CheckedTextBuffer::int_type CheckedTextBuffer::overflow(int_type c) {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int CheckedTextBuffer::sync() { return Flush() ? 0 : -1; }

StandardStreams::StandardStreams()
    : out_(platform::StandardStream::Output, kOutputBufferSize),
      err_(platform::StandardStream::Error, kErrorBufferSize),
      oldOut_(std::cout.rdbuf(&out_)),
      oldErr_(std::cerr.rdbuf(&err_)) {
    platform::HoldMissingStandardStreams();
    platform::ReportClosedPipesAsErrors();
}

StandardStreams::~StandardStreams() {
    std::cout.rdbuf(oldOut_);
    std::cerr.rdbuf(oldErr_);
}

int StandardStreams::Finish(int exitCode) {
    out_.Flush();
    int error = out_.Error();
    if (error == 0) {
        // A standard output that was never open is no failure when nothing was written to it.
        const int closed = platform::CloseStandardOutput();
        if (closed != EBADF) error = closed;
    }
    if (error == EPIPE) {
        platform::EndForClosedPipe();
        return kExitDataError;
    }
    if (error != 0) {
        ReportError("standard output", platform::SystemMessage(error));
        if (exitCode == kExitOk) exitCode = kExitDataError;
    }
    err_.Flush();
    if (err_.Error() != 0 && exitCode == kExitOk) exitCode = kExitDataError;
    return exitCode;
}

void CheckStandardOutput() {
    const CheckedTextBuffer* text = OutputBuffer();
    if (text != nullptr && text->Error() != 0) throw StandardOutputLost();
}

std::unique_ptr<TStream> BinaryStandardOutput() { return std::make_unique<TStandardOutput>(); }

}  // namespace qvx::cli
