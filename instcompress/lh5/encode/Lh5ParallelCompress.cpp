// The match search of the LH5 encoder depends only on the input, never on the parse (the parse
// only shortens a match within 256 bytes of the end of the input, see below), so the stream is cut
// into chunks of 96 cycles and each is searched on its own thread. A chunk is searched in order
// (by the finder that ran through all chunks before it) when nothing else is being searched, and
// by a finder started cold 8 cycles before it when it can run beside the search of the chunks
// before. A cold finder's search state usually becomes that of the encoder's own by the chunk's
// start, but not always (a node can keep a position recorded long before). So the state is
// compared (MatchTree::SameSearchState) with that of the finder which ran through the chunk
// before, itself checked the same way: equal states give equal results from there on, and where
// they differ, that finder searches the chunk again. The calling thread reads the input in the
// encoder's own fills, hands the chunks out, and parses the recorded matches in order into the
// block writer with the encoder's parse (Lh5Parser); the last stretch, from the end of the last
// chunk to the end of the input, the same parse takes from the finder of the last chunk, live.
#include "Lh5ParallelCompress.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "BlockWriter.h"
#include "EncoderInput.h"
#include "Lh5Compress.h"
#include "Lh5Parse.h"
#include "LiveMatches.h"
#include "StreamFinder.h"

namespace qvx::lh5 {

namespace {

// A chunk is handed out once this many full fills beyond its end have been read: its positions
// then lie far enough from the end of the input that no match of theirs is shortened.
constexpr std::int64_t kGuardFills = 2;

// Where the chunks lie: chunk i covers the positions from the start of cycle Cycle(i) (chunk 0:
// from 0) to that of Cycle(i + 1); its finder starts cold `warm` cycles before it.
struct Layout {
    std::int64_t cycles;  // per chunk
    std::int64_t warm;

    std::int64_t Cycle(std::int64_t i) const noexcept { return 1 + i * cycles; }
    std::int64_t First(std::int64_t i) const noexcept { return i == 0 ? 0 : CycleStart(Cycle(i)); }
    std::int64_t End(std::int64_t i) const noexcept { return CycleStart(Cycle(i + 1)); }
    // The stream bytes a chunk's finder reads: from the window history of its cold start up to
    // the last fill it slides in.
    std::int64_t SpanBase(std::int64_t i) const noexcept {
        return i == 0 ? 0 : CycleStart(Cycle(i) - warm) - kFillSize;
    }
    std::int64_t SpanEnd(std::int64_t i) const noexcept { return kFillSize * Cycle(i + 1); }
};

struct Fill {
    std::uint8_t bytes[kFillSize];
    int count;
};

// The fills of a chunk's span, from memory. Never meets the end of the input.
class SpanSource final : public FillSource {
public:
    SpanSource(const std::uint8_t* span, std::int64_t base, std::int64_t nextFill)
        : span_(span), base_(base), next_(nextFill) {}
    int NextFill(std::uint8_t* dst) override {
        std::memcpy(dst, span_ + (kFillSize * next_++ - base_), kFillSize);
        return static_cast<int>(kFillSize);
    }

private:
    const std::uint8_t* span_;
    std::int64_t base_;
    std::int64_t next_;
};

// One chunk: its bytes, the matches found for its positions, and the finders' states.
struct Chunk {
    std::int64_t index = 0;
    bool cold = false;            // searched by a finder started cold (else: by the one handed in)
    std::int64_t firstCycle = 0;  // the cycle the chunk starts with
    std::int64_t warm = 0;        // cycles of warm-up
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t spanBase = 0;
    // Filled before they are read: left uninitialised.
    std::unique_ptr<std::uint8_t[]> span;
    std::unique_ptr<std::uint8_t[]> lengths;  // FoundLength - 1 of every position
    std::unique_ptr<std::uint16_t[]> codes;   // position code of every position
    std::unique_ptr<StreamFinder> finder;     // after the run: at position end - 1
    std::unique_ptr<MatchTree> coldStart;     // the cold finder's tree at position first - 1
    std::exception_ptr failure;
    std::jthread worker;

    // Records the matches of positions from..end-1 with a finder standing at from - 1.
    void Record(StreamFinder& f, std::int64_t from) {
        SpanSource source(span.get(), spanBase, firstCycle);
        for (std::int64_t p = from; p < end; ++p) {
            f.Advance(source);
            Store(p, f);
        }
    }
    void Record(StreamFinder& f) { Record(f, first); }

    // Keeps the match the finder found at position p.
    void Store(std::int64_t p, const StreamFinder& f) noexcept {
        const auto k = static_cast<std::size_t>(p - first);
        lengths[k] = static_cast<std::uint8_t>(f.FoundLength() - 1);
        codes[k] = static_cast<std::uint16_t>(f.PositionCode());
    }

    void Run() noexcept {
        try {
            if (index == 0) {
                // The stream's first fill is the chunk's first cycle: the finder starts on it at
                // position 0.
                finder->StartAtBeginning(span.get(), static_cast<int>(kFillSize));
                Store(0, *finder);
                Record(*finder, 1);
                return;
            }
            if (!cold) {
                Record(*finder);
                return;
            }
            const std::int64_t start = firstCycle - warm;
            finder->StartCold(start, span.get() + (CycleStart(start) - kFillSize - spanBase));
            SpanSource source(span.get(), spanBase, start + 1);
            while (finder->Position() < first - 1) finder->Advance(source);
            *coldStart = finder->Tree();
            Record(*finder);
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

// The matches recorded for the chunks being parsed, as a source for Lh5Parser.
class RecordedMatches {
public:
    explicit RecordedMatches(const std::deque<std::unique_ptr<Chunk>>& ready) : ready_(ready) {}

    bool Knows(std::int64_t p) const noexcept { return !ready_.empty() && p < ready_.back()->end; }

    FoundMatch At(std::int64_t p) noexcept {
        if (p < from_ || p >= to_) Find(p);
        const auto k = static_cast<std::size_t>(p - from_);
        // The chunks lie far enough from the end of the input that no match is cut.
        return {lengths_[k] + 1, codes_[k], bytes_[k], false};
    }

private:
    void Find(std::int64_t p) noexcept {
        const Chunk* c = ready_.front().get();
        for (std::size_t i = 1; p >= c->end; ++i) c = ready_[i].get();
        from_ = c->first;
        to_ = c->end;
        lengths_ = c->lengths.get();
        codes_ = c->codes.get();
        bytes_ = c->span.get() + (c->first - c->spanBase);
    }

    const std::deque<std::unique_ptr<Chunk>>& ready_;
    // The chunk of the positions asked last (from_ = to_: none).
    std::int64_t from_ = 0;
    std::int64_t to_ = 0;
    const std::uint8_t* lengths_ = nullptr;
    const std::uint16_t* codes_ = nullptr;
    const std::uint8_t* bytes_ = nullptr;
};

class ParallelCompressor {
public:
    ParallelCompressor(CodecEngine& engine, const ParallelOptions& options, Layout layout)
        : input_(engine),
          blocks_(std::make_unique<BlockWriter>(engine)),
          parser_(*blocks_),
          recorded_(ready_),
          own_(std::max(options.threads, 1)),
          budget_(options.budget),
          layout_(layout) {}

    ~ParallelCompressor() {
        // Searches still running (after a failure) end before their chunks go; then the threads
        // taken go back.
        for (auto& c : running_) {
            if (c->worker.joinable()) c->worker.join();
        }
        for (; taken_ > 0; --taken_) budget_->Give();
    }

    ParallelStats Run() {
        RunChunks();
        if (RunTail()) {  // an empty input gives no output at all
            blocks_->FlushBlock();
            blocks_->FinishStream();
        }
        return stats_;
    }

private:
    // Reads the next fill the way the encoder's window does (the first one as the first fill).
    void ReadFill() {
        auto fill = std::make_unique_for_overwrite<Fill>();
        if (nextFill_ == 0) {
            fill->count = input_.Fill(fill->bytes, static_cast<int>(kFillSize));
            if (fill->count < kFillSize) {
                std::memset(fill->bytes + fill->count, kWindowFill, static_cast<std::size_t>(kFillSize - fill->count));
                input_.ReadPastEnd(static_cast<int>(kFillSize) - fill->count - 1);
            }
        } else {
            fill->count = input_.Fill(fill->bytes, static_cast<int>(kFillSize));
        }
        ended_ = fill->count < kFillSize;
        fills_.push_back(std::move(fill));
        ++nextFill_;
    }

    // Copies the stream bytes [from, to) out of the fills read (all of them full).
    void CopyStream(std::uint8_t* dst, std::int64_t from, std::int64_t to) const {
        while (from < to) {
            const std::int64_t f = from / kFillSize;
            const std::int64_t at = from - f * kFillSize;
            const std::int64_t n = std::min(to - from, kFillSize - at);
            std::memcpy(dst, fills_[static_cast<std::size_t>(f - firstFill_)]->bytes + at, static_cast<std::size_t>(n));
            dst += n;
            from += n;
        }
    }

    // Drops the fills before fill `keep`.
    void DropFillsBefore(std::int64_t keep) {
        while (firstFill_ < keep && !fills_.empty()) {
            fills_.pop_front();
            ++firstFill_;
        }
    }

    // Hands out the next chunk: to a cold finder, or to `finder` (the checked one, or none for the
    // first chunk) to search in order.
    void Launch(bool cold, std::unique_ptr<StreamFinder> finder) {
        auto c = std::make_unique<Chunk>();
        c->index = nextChunk_++;
        c->cold = cold;
        c->finder = std::move(finder);
        c->firstCycle = layout_.Cycle(c->index);
        c->first = layout_.First(c->index);
        c->end = layout_.End(c->index);
        // Everything a chunk needs is allocated here rather than on its thread, where the
        // allocator would keep a separate arena per thread and memory would grow.
        const auto positions = static_cast<std::size_t>(c->end - c->first);
        c->lengths = std::make_unique_for_overwrite<std::uint8_t[]>(positions);
        c->codes = std::make_unique_for_overwrite<std::uint16_t[]>(positions);
        if (!c->finder) c->finder = std::make_unique<StreamFinder>();
        if (cold) c->coldStart = std::make_unique<MatchTree>(nullptr);
        c->warm = layout_.warm;
        c->spanBase = layout_.SpanBase(c->index);
        c->span = std::make_unique_for_overwrite<std::uint8_t[]>(
            static_cast<std::size_t>(layout_.SpanEnd(c->index) - c->spanBase));
        CopyStream(c->span.get(), c->spanBase, layout_.SpanEnd(c->index));
        DropFillsBefore(layout_.SpanBase(nextChunk_) / kFillSize);
        ++stats_.chunks;
        if (cold) ++stats_.cold;
        Chunk* raw = c.get();
        c->worker = std::jthread([raw] { raw->Run(); });
        running_.push_back(std::move(c));
        stats_.mostThreads = std::max(stats_.mostThreads, static_cast<int>(running_.size()));
    }

    // A thread for one more search beside those running: one of the run's own, or one taken from
    // the budget while it has one free.
    bool ThreadFree() {
        if (running_.size() < static_cast<std::size_t>(own_ + taken_)) return true;
        if (budget_ == nullptr || !budget_->TryTake()) return false;
        ++taken_;
        return true;
    }

    // Hands out chunks while there is a thread for them and room: the chunks held (searched, or
    // being parsed) stay within one more than the threads, which bounds the memory. A chunk goes
    // in order whenever nothing is being searched (its finder is then free, and a search in order
    // costs no warm-up), and to a cold finder beside the searches running, unless cold finders
    // have just missed the encoder's state twice in a row.
    void LaunchWhilePossible() {
        while (!ended_) {
            const bool inOrder = running_.empty();
            if (!inOrder && inOrderLeft_ > 0) break;
            if (running_.size() + ready_.size() >= static_cast<std::size_t>(own_ + taken_ + 1)) break;
            if (!ThreadFree()) break;
            const std::int64_t need = layout_.Cycle(nextChunk_ + 1) + kGuardFills;
            while (!ended_ && nextFill_ <= need) ReadFill();
            if (ended_) break;
            if (inOrder && inOrderLeft_ > 0) --inOrderLeft_;
            Launch(!inOrder, inOrder ? std::move(truth_) : nullptr);
        }
        GiveBackIdle();
    }

    // Gives back the threads taken from the budget that no search uses.
    void GiveBackIdle() {
        while (taken_ > 0 && running_.size() < static_cast<std::size_t>(own_ + taken_)) {
            budget_->Give();
            --taken_;
        }
    }

    void RunChunks() {
        for (;;) {
            LaunchWhilePossible();
            if (running_.empty()) return;
            std::unique_ptr<Chunk> c = std::move(running_.front());
            running_.pop_front();
            c->worker.join();
            GiveBackIdle();
            if (c->failure) std::rethrow_exception(c->failure);
            if (c->cold && truth_->Tree().SameSearchState(*c->coldStart)) {
                missesInARow_ = 0;
                inOrderAfterMisses_ = kInOrderAfterMisses;
            } else if (c->cold) {
                // The cold finder did not reach the encoder's state: the finder that did searches
                // the chunk again, here, while the searches of the chunks after it go on.
                c->finder = std::move(truth_);
                c->Record(*c->finder);
                ++stats_.redone;
                if (++missesInARow_ == kMissesInARow) {
                    // Data whose search state keeps traces of long ago (the pending flags of long
                    // repetitive runs): in order for a while, and longer each time.
                    missesInARow_ = kMissesInARow - 1;  // one more miss at once doubles the wait
                    inOrderLeft_ = inOrderAfterMisses_;
                    inOrderAfterMisses_ *= 2;
                }
            }
            c->coldStart.reset();
            truth_ = std::move(c->finder);
            ready_.push_back(std::move(c));
            // Past the chunk before, which then goes; the next search runs beside the rest.
            ParseRecorded(ready_.front()->end);
            LaunchWhilePossible();
            ParseRecorded(ready_.back()->end);
        }
    }

    // The encoder's parse on the recorded matches, as far as they reach and until it has passed
    // `until`; the chunks it has passed go.
    void ParseRecorded(std::int64_t until) {
        parser_.Parse(recorded_, until);
        while (ready_.size() > 1 && ready_.front()->end <= parser_.Next()) ready_.pop_front();
    }

    // The fills the calling thread has read and no chunk has used, then the input itself.
    class ReplaySource final : public FillSource {
    public:
        ReplaySource(std::deque<std::unique_ptr<Fill>>& fills, EncoderInput& input) : fills_(fills), input_(input) {}
        int NextFill(std::uint8_t* dst) override {
            if (fills_.empty()) return input_.Fill(dst, static_cast<int>(kFillSize));
            const Fill& f = *fills_.front();
            // At the end, the bytes above the end's 0 keep what the window held.
            std::memcpy(dst, f.bytes,
                        static_cast<std::size_t>(std::min<int>(f.count + 1, static_cast<int>(kFillSize))));
            const int count = f.count;
            fills_.pop_front();
            return count;
        }

    private:
        std::deque<std::unique_ptr<Fill>>& fills_;
        EncoderInput& input_;
    };

    // From the end of the last chunk (or from the start) to the end of the input, the same parse
    // with the live finder. Returns false for an empty input.
    bool RunTail() {
        std::unique_ptr<StreamFinder> finder;
        std::int64_t inWindow = 0;  // stream bytes the finder's window has taken in
        if (truth_) {
            finder = std::move(truth_);
            DropFillsBefore(layout_.Cycle(nextChunk_));
            inWindow = kFillSize * layout_.Cycle(nextChunk_);
        } else {
            while (nextFill_ == 0) ReadFill();
            finder = std::make_unique<StreamFinder>();
            const Fill& f0 = *fills_.front();
            inWindow = finder->StartAtBeginning(f0.bytes, f0.count);
            fills_.pop_front();
            ++firstFill_;
            if (inWindow == 0) return false;
        }
        ready_.clear();
        ReplaySource source(fills_, input_);
        LiveMatches live(*finder, source, inWindow);
        parser_.Parse(live);
        return true;
    }

    EncoderInput input_;
    std::unique_ptr<BlockWriter> blocks_;
    std::deque<std::unique_ptr<Chunk>> ready_;  // checked, their matches being parsed
    Lh5Parser<BlockWriter> parser_;
    RecordedMatches recorded_;
    int own_;
    ThreadBudget* budget_;
    int taken_ = 0;  // threads taken from the budget
    Layout layout_;
    ParallelStats stats_;
    int missesInARow_ = 0;
    int inOrderLeft_ = 0;  // chunks still to go in order after misses
    int inOrderAfterMisses_ = kInOrderAfterMisses;

    std::deque<std::unique_ptr<Fill>> fills_;  // fills read and still needed, from firstFill_ on
    std::int64_t firstFill_ = 0;
    std::int64_t nextFill_ = 0;
    bool ended_ = false;

    std::int64_t nextChunk_ = 0;
    std::deque<std::unique_ptr<Chunk>> running_;  // handed out, in order
    std::unique_ptr<StreamFinder> truth_;         // the checked finder at the end of the last ready chunk
};

}  // namespace

ParallelStats Lh5CompressParallel(CodecEngine& engine, const ParallelOptions& options) {
    if (options.threads < 2 && options.budget == nullptr) {
        Lh5Compress(engine);
        return {};
    }
    // A cold start needs a whole cycle of history before it: at most chunkCycles - 1 cycles of
    // warm-up.
    const int cycles = std::max(options.chunkCycles, 2);
    const Layout layout{cycles, std::clamp(options.warmUpCycles, 1, cycles - 1)};
    return ParallelCompressor(engine, options, layout).Run();
}

}  // namespace qvx::lh5
