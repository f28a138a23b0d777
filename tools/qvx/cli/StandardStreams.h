// The tool's standard output and standard error, checked as coreutils check theirs.
//
// While a StandardStreams lives, std::cout writes through an 8 KB buffer and std::cerr line by
// line straight to the system (platform::WriteText). Every write's result is kept: the first
// failure of each stream is remembered and later text to that stream is dropped. Finish() flushes
// and closes standard output at the end of a run and turns a failure into one line, "qvx:
// standard output: No space left on device", and exit status 1. A reader that has gone away (a
// closed pipe, as in "qvx list big.spis | head") ends the program quietly, as SIGPIPE ends the
// coreutils, once every temporary file is gone. A failure of standard error cannot be reported;
// it only makes the exit status 1.
//
// Binary output (cat, compress -, create -) goes through BinaryStandardOutput, whose failures are
// kept in the same place: the command stops with StandardOutputLost and Finish() reports it once.
#pragma once

#include <memory>
#include <stdexcept>
#include <streambuf>
#include <vector>

#include <instcompress/Stream.h>

#include "platform/FileStream.h"

namespace qvx::cli {

// Raised when standard output has failed: the failure is kept for Finish() to report; commands
// end without a message of their own (ReportCurrentException prints nothing for it).
class StandardOutputLost : public std::runtime_error {
public:
    StandardOutputLost() : std::runtime_error("standard output lost") {}
};

// The buffer behind std::cout or std::cerr while a StandardStreams lives.
class CheckedTextBuffer final : public std::streambuf {
public:
    CheckedTextBuffer(platform::StandardStream which, std::size_t size);
    CheckedTextBuffer(const CheckedTextBuffer&) = delete;
    CheckedTextBuffer& operator=(const CheckedTextBuffer&) = delete;
    ~CheckedTextBuffer() override;

    // The first failure of the stream (an errno value), 0 while every write went out.
    int Error() const noexcept { return error_; }
    // Keeps a failure another writer of the same stream met.
    void Fail(int error) noexcept;
    // Writes what is buffered; false once the stream has failed.
    bool Flush();

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    platform::StandardStream which_;
    std::vector<char> buffer_;
    int error_ = 0;
};

class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

    // Flushes both streams and closes standard output; returns the exit status: exitCode, or 1
    // when it was 0 and a stream failed (standard output's failure reported on standard error).
    // A closed pipe ends the program here on POSIX systems.
    int Finish(int exitCode);

private:
    CheckedTextBuffer out_;
    CheckedTextBuffer err_;
    std::streambuf* oldOut_;
    std::streambuf* oldErr_;
};

// Raises StandardOutputLost when what is written to std::cout no longer arrives; long listings
// ask before each line, so that "qvx list big.spis | head" stops reading the archive.
void CheckStandardOutput();

// Standard output as a binary stream, for data. The text written to std::cout before comes first.
// A failed write is kept for Finish() and raises StandardOutputLost (without StandardStreams,
// platform::StreamFailure about "standard output").
std::unique_ptr<TStream> BinaryStandardOutput();

}  // namespace qvx::cli
