#include "archive/EntryPipeline.h"
#include "archive/ToolSettings.h"

#include <chrono>
#include <stdexcept>
#include <utility>

#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>

#include "platform/FileStreams.h"

namespace qvx::cli {

namespace {

// Entries up to this size are prepared in memory (their stored bytes are never larger).
constexpr std::int64_t kInMemoryLimit = 256 << 10;
constexpr std::int64_t kMaxEntrySize = 0x7FFFFFFF;

}  // namespace

unsigned EntryPipeline::WorkersFor(unsigned requested, std::size_t entries, CompressMethod method) noexcept {
    if (entries < 2 || method == cmNON) return 1;
    return ThreadsFor(requested);
}

unsigned EntryPipeline::ThreadsFor(unsigned requested) noexcept {
    if (requested != 0) return requested;
    // More workers rarely pay on an installer's few large files, and each one holds a codec
    // workspace and up to one waiting entry in memory.
    constexpr unsigned kMostByDefault = 8;
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n < kMostByDefault ? n : kMostByDefault;
}

EntryPipeline::EntryPipeline(std::vector<Job> jobs, CompressMethod method, unsigned threads)
    : jobs_(std::move(jobs)),
      budget_(static_cast<int>(threads)),
      slots_(jobs_.size()),
      percent_(std::make_unique<std::atomic<std::int32_t>[]>(jobs_.size())),
      lookAhead_(static_cast<std::size_t>(threads) + 2) {
    EntryCompressor check(method);  // an unknown method fails here, not in a worker
    try {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this, method] { Work(method); });
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : workers_) t.join();
        throw;
    }
}

EntryPipeline::~EntryPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
}

EntryPipeline::Result EntryPipeline::Take(const std::function<void(std::int32_t)>& waiting) {
    std::unique_lock lock(mutex_);
    const std::size_t i = nextTaken_;
    if (i >= slots_.size()) throw std::logic_error("EntryPipeline: every entry has been taken");
    while (!changed_.wait_for(lock, std::chrono::milliseconds(100), [&] { return slots_[i].Done; })) {
        if (waiting) {
            lock.unlock();
            waiting(percent_[i].load());
            lock.lock();
        }
    }
    Slot slot = std::move(slots_[i]);
    ++nextTaken_;
    lock.unlock();
    changed_.notify_all();  // a worker may go on now
    if (slot.Error) std::rethrow_exception(slot.Error);
    return std::move(slot.Value);
}

std::int64_t EntryPipeline::AddNextTo(ArchiveWriter& writer, const EntryInfo& info,
                                      const std::function<void(std::int32_t)>& waiting) {
    const std::int64_t listedSize = jobs_.at(nextTaken_).Size;
    Result prepared = Take(waiting);
    // A file too large for an entry was not prepared; the writer refuses it by its listed size,
    // as it refuses the same file added directly.
    writer.CheckEntry(info, listedSize);
    writer.AddPreparedEntry(info, prepared.Entry, *prepared.Data);
    return prepared.SourceEnd;
}

void EntryPipeline::Work(CompressMethod method) {
    // The progress of a compression is shown to Take; one still running when the pipeline stops
    // is cancelled through it.
    std::size_t current = 0;
    EntryCompressor compressor(
        method,
        [this, &current](std::int32_t& percentageDone) {
            percent_[current].store(percentageDone);
            if (stopping_) percentageDone = -1;
        },
        kNoYield);
    compressor.UseThreads(&budget_);
    for (;;) {
        std::size_t i;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock,
                          [&] { return stopping_ || (nextJob_ < jobs_.size() && nextJob_ < nextTaken_ + lookAhead_); });
            if (stopping_) return;
            i = nextJob_++;
        }
        current = i;
        Slot done;
        try {
            const ThreadBudgetShare share(budget_);
            done.Value = Prepare(compressor, jobs_[i]);
        } catch (...) {
            done.Error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            done.Done = true;
            slots_[i] = std::move(done);
        }
        changed_.notify_all();
    }
}

EntryPipeline::Result EntryPipeline::Prepare(EntryCompressor& compressor, const Job& job) {
    Result result;
    const auto source = OpenReadFile(job.Path);
    // The writer refuses an entry this large once it has it; nothing to prepare.
    if (job.Size > kMaxEntrySize) return result;
    if (job.Size <= kInMemoryLimit)
        result.Data = std::make_unique<TMemoryStream>();
    else
        result.Data = AnonymousTemporaryFile("qvx-entry");
    result.Entry = compressor.Prepare(job.Name, *source, static_cast<std::int32_t>(job.Size), *result.Data);
    result.SourceEnd = source->Position();
    result.Data->SetPosition(0);
    return result;
}

}  // namespace qvx::cli
