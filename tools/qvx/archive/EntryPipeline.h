// EntryPipeline: prepares the entries of an archive on several threads at once and hands them out
// in archive order. Each worker has its own EntryCompressor and takes the next file as long as it
// is at most a few entries ahead of the writer, so the bytes waiting stay bounded: a prepared entry
// waits in memory when it is small and in an anonymous temporary file otherwise. The writer adds
// each entry with ArchiveWriter::AddPreparedEntry, so the archive is byte for byte the one a single
// thread writes.
//
// A worker's failure (a file that cannot be opened or read) waits in its entry and is raised when
// the writer takes that entry, so errors appear in archive order exactly as without workers. When
// the pipeline goes away before all entries were taken, compressions still running are cancelled.
//
// The workers share one ThreadBudget with as many threads as there are workers: a worker holds one
// while it prepares an entry, and a large LH5 entry searches its stream also on the threads of the
// workers that are idle (waiting for an entry to prepare, or done).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <instcompress/ArchiveWriter.h>
#include <instcompress/EntryCompressor.h>
#include <instcompress/Stream.h>
#include <instcompress/ThreadBudget.h>

namespace qvx::cli {

class EntryPipeline {
public:
    struct Job {
        std::string Name;  // entry name (labels a cancellation)
        std::string Path;  // the file to read
        std::int64_t Size = 0;
    };
    struct Result {
        PreparedEntry Entry;
        std::unique_ptr<TStream> Data;  // the stored bytes, positioned at their start
        std::int64_t SourceEnd = 0;     // where reading the file ended
    };

    EntryPipeline(std::vector<Job> jobs, CompressMethod method, unsigned threads);
    ~EntryPipeline();
    EntryPipeline(const EntryPipeline&) = delete;
    EntryPipeline& operator=(const EntryPipeline&) = delete;

    // Waits for the next entry in archive order and hands it over; raises what preparing it raised.
    // While it waits, waiting (when given) is called about ten times a second with the percentage
    // of the entry compressed so far.
    Result Take(const std::function<void(std::int32_t)>& waiting = {});

    // Takes the next entry and adds it to writer under info; returns where reading its file ended.
    std::int64_t AddNextTo(ArchiveWriter& writer, const EntryInfo& info,
                           const std::function<void(std::int32_t)>& waiting = {});

    // The number of workers for entries compressed with method when requested were asked for
    // (0: one per processor, at most 8). 1 means none: the caller adds the entries itself, which is
    // as fast when there is a single entry or nothing to compress.
    static unsigned WorkersFor(unsigned requested, std::size_t entries, CompressMethod method) noexcept;
    // The threads of a -j option: requested, or for 0 one per processor, at most 8.
    static unsigned ThreadsFor(unsigned requested) noexcept;

private:
    struct Slot {
        bool Done = false;
        Result Value;
        std::exception_ptr Error;
    };

    void Work(CompressMethod method);
    Result Prepare(EntryCompressor& compressor, const Job& job);

    std::vector<Job> jobs_;
    ThreadBudget budget_;
    std::vector<Slot> slots_;
    std::unique_ptr<std::atomic<std::int32_t>[]> percent_;  // of each entry, set by its worker
    std::size_t lookAhead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t nextJob_ = 0;             // the next job a worker takes
    std::size_t nextTaken_ = 0;           // the next entry Take hands out
    std::atomic<bool> stopping_ = false;  // changed under mutex_, read by the workers' progress too
    std::vector<std::thread> workers_;
};

}  // namespace qvx::cli
