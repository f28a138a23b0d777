// The match search of the LH5 encoder depends only on the input, never on the parse (the parse
// only shortens a match within 256 bytes of the end of the input, see below), so the stream is cut
// into chunks of 64 cycles and a separate finder searches each. A finder for chunk i starts cold 8
// cycles before it; usually its search state has become that of the encoder's own by the chunk's
// start, but not always (a node can keep a position recorded long before). So the state is
// compared (MatchTree::SameSearchState) with that of the finder which ran through chunk i - 1,
// itself checked the same way: equal states give equal results from there on, and where they
// differ, that finder goes on through chunk i itself. The calling thread reads the input in the
// encoder's own fills, hands the chunks out, and parses the recorded matches in order into the
// block writer, exactly as Lh5Parser does. The last stretch, from the end of the last chunk to the
// end of the input, it runs itself with the finder of the last chunk, as Lh5Parser would.
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
#include "Lh5Codec.h"
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
    std::int64_t SpanBase(std::int64_t i) const noexcept { return i == 0 ? 0 : CycleStart(Cycle(i) - warm) - kFillSize; }
    std::int64_t SpanEnd(std::int64_t i) const noexcept { return kFillSize * Cycle(i + 1); }
};

struct Fill {
    std::uint8_t bytes[kFillSize];
    int count;
};

// The fills of a chunk's span, from memory. Never meets the end of the input.
class SpanSource final : public FillSource {
public:
    SpanSource(const std::vector<std::uint8_t>& span, std::int64_t base, std::int64_t nextFill)
        : span_(span), base_(base), next_(nextFill) {}
    int NextFill(std::uint8_t* dst) override {
        std::memcpy(dst, span_.data() + (kFillSize * next_++ - base_), kFillSize);
        return static_cast<int>(kFillSize);
    }

private:
    const std::vector<std::uint8_t>& span_;
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
    std::vector<std::uint8_t> span;
    std::vector<std::uint8_t> lengths;  // FoundLength - 1 of every position
    std::vector<std::uint16_t> codes;   // position code of every position
    std::unique_ptr<StreamFinder> finder;  // after the run: at position end - 1
    std::unique_ptr<MatchTree> coldStart;  // the cold finder's tree at position first - 1
    std::exception_ptr failure;
    std::jthread worker;

    std::uint8_t ByteAt(std::int64_t p) const noexcept { return span[static_cast<std::size_t>(p - spanBase)]; }

    // Records the matches of positions first..end-1 with a finder standing at first - 1.
    void Record(StreamFinder& f) {
        SpanSource source(span, spanBase, firstCycle);
        for (std::int64_t p = first; p < end; ++p) {
            f.Advance(source);
            const auto k = static_cast<std::size_t>(p - first);
            lengths[k] = static_cast<std::uint8_t>(f.FoundLength() - 1);
            codes[k] = static_cast<std::uint16_t>(f.PositionCode());
        }
    }

    void Run() noexcept {
        try {
            if (index == 0) {
                finder->StartAtBeginning(span.data(), static_cast<int>(kFillSize));
                lengths[0] = static_cast<std::uint8_t>(finder->FoundLength() - 1);
                codes[0] = static_cast<std::uint16_t>(finder->PositionCode());
                SpanSource source(span, spanBase, 1);
                for (std::int64_t p = 1; p < end; ++p) {
                    finder->Advance(source);
                    lengths[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(finder->FoundLength() - 1);
                    codes[static_cast<std::size_t>(p)] = static_cast<std::uint16_t>(finder->PositionCode());
                }
                return;
            }
            if (!cold) {
                Record(*finder);
                return;
            }
            const std::int64_t start = firstCycle - warm;
            finder->StartCold(start, span.data() + (CycleStart(start) - kFillSize - spanBase));
            SpanSource source(span, spanBase, start + 1);
            while (finder->Position() < first - 1) finder->Advance(source);
            *coldStart = finder->Tree();
            Record(*finder);
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

class ParallelCompressor {
public:
    ParallelCompressor(CodecEngine& engine, int workers, Layout layout)
        : input_(engine),
          blocks_(std::make_unique<BlockWriter>(engine)),
          workers_(static_cast<std::size_t>(workers)),
          layout_(layout) {}

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
        auto fill = std::make_unique<Fill>();
        if (nextFill_ == 0) {
            fill->count = input_.Fill(fill->bytes, static_cast<int>(kFillSize));
            if (fill->count < kFillSize) {
                std::memset(fill->bytes + fill->count, 0x20, static_cast<std::size_t>(kFillSize - fill->count));
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

    // Hands out the next chunk: to a cold finder, or to `finder` (the checked one) to go on with.
    void Launch(std::unique_ptr<StreamFinder> finder) {
        auto c = std::make_unique<Chunk>();
        c->index = nextChunk_++;
        c->cold = c->index > 0 && !finder;
        c->finder = std::move(finder);
        if (c->finder) ++stats_.inOrder;
        c->firstCycle = layout_.Cycle(c->index);
        c->first = layout_.First(c->index);
        c->end = layout_.End(c->index);
        // Everything a chunk needs is allocated here rather than on its thread, where the
        // allocator would keep a separate arena per thread and memory would grow.
        c->lengths.resize(static_cast<std::size_t>(c->end - c->first));
        c->codes.resize(c->lengths.size());
        if (!c->finder) c->finder = std::make_unique<StreamFinder>();
        if (c->cold) c->coldStart = std::make_unique<MatchTree>(nullptr);
        c->warm = layout_.warm;
        c->spanBase = layout_.SpanBase(c->index);
        c->span.resize(static_cast<std::size_t>(layout_.SpanEnd(c->index) - c->spanBase));
        CopyStream(c->span.data(), c->spanBase, layout_.SpanEnd(c->index));
        DropFillsBefore(layout_.SpanBase(nextChunk_) / kFillSize);
        ++stats_.chunks;
        Chunk* raw = c.get();
        c->worker = std::jthread([raw] { raw->Run(); });
        running_.push_back(std::move(c));
    }

    // While cold finders reach the encoder's state, chunks are searched `workers_` at a time. After
    // two chunks in a row whose cold finder did not (data whose search state keeps traces of
    // long ago, such as long repetitive runs), the rest of the stream goes to the checked finder
    // chunk after chunk, still beside the parse of the chunk before.
    // Hands out chunks while there is room: at most three chunks are held at once (searched, or
    // being parsed), which bounds the memory.
    void LaunchWhilePossible() {
        while (!ended_ && running_.size() + ready_.size() < 3 &&
               (speculate_ ? running_.size() < workers_ : running_.empty() && (truth_ || nextChunk_ == 0))) {
            const std::int64_t need = layout_.Cycle(nextChunk_ + 1) + kGuardFills;
            while (!ended_ && nextFill_ <= need) ReadFill();
            if (ended_) break;
            Launch(speculate_ || nextChunk_ == 0 ? nullptr : std::move(truth_));
        }
    }

    void RunChunks() {
        for (;;) {
            LaunchWhilePossible();
            if (running_.empty()) return;
            std::unique_ptr<Chunk> c = std::move(running_.front());
            running_.pop_front();
            c->worker.join();
            if (c->failure) std::rethrow_exception(c->failure);
            if (c->cold && truth_->Tree().SameSearchState(*c->coldStart)) {
                failuresInARow_ = 0;
            } else if (c->cold) {
                // The cold finder did not reach the encoder's state: the finder that did goes on.
                c->finder = std::move(truth_);
                c->Record(*c->finder);
                ++stats_.redone;
                if (++failuresInARow_ == 2) speculate_ = false;
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

    // The recorded match of position p (held by one of the ready chunks).
    const Chunk& ChunkOf(std::int64_t p) const noexcept {
        for (const auto& c : ready_) {
            if (p < c->end) return *c;
        }
        return *ready_.back();
    }

    // The parse of Lh5Parser, on the recorded matches, as far as they reach and until it has
    // passed `until`.
    void ParseRecorded(std::int64_t until) {
        const std::int64_t recordedEnd = ready_.back()->end;
        while (next_ + 1 < recordedEnd && next_ < until) {
            const Chunk& here = ChunkOf(next_);
            const auto k = static_cast<std::size_t>(next_ - here.first);
            const int lastLength = here.lengths[k] + 1;
            const Chunk& after = ChunkOf(next_ + 1);
            const int nextLength = after.lengths[static_cast<std::size_t>(next_ + 1 - after.first)] + 1;
            if (nextLength > lastLength || lastLength < kMinMatch) {
                blocks_->RecordItem(here.ByteAt(next_), 0);
                next_ += 1;
            } else {
                blocks_->RecordItem(static_cast<unsigned>(lastLength + 253), here.codes[k]);
                next_ += lastLength;
            }
            while (ready_.size() > 1 && ready_.front()->end <= next_) ready_.pop_front();
        }
    }

    // The fills the calling thread has read and no chunk has used, then the input itself.
    class ReplaySource final : public FillSource {
    public:
        ReplaySource(std::deque<std::unique_ptr<Fill>>& fills, EncoderInput& input) : fills_(fills), input_(input) {}
        int NextFill(std::uint8_t* dst) override {
            if (fills_.empty()) return input_.Fill(dst, static_cast<int>(kFillSize));
            const Fill& f = *fills_.front();
            // At the end, the bytes above the end's 0 keep what the window held.
            std::memcpy(dst, f.bytes, static_cast<std::size_t>(std::min<int>(f.count + 1, static_cast<int>(kFillSize))));
            const int count = f.count;
            fills_.pop_front();
            return count;
        }

    private:
        std::deque<std::unique_ptr<Fill>>& fills_;
        EncoderInput& input_;
    };

    // From the end of the last chunk (or from the start) to the end of the input, with a live
    // finder, exactly as Lh5Parser runs. Returns false for an empty input.
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
        while (finder->Position() < next_) inWindow += finder->Advance(source);

        MatchTree& tree = finder->Tree();
        int remaining = static_cast<int>(inWindow - finder->Position());
        auto advance = [&] {
            --remaining;
            remaining += finder->Advance(source);
        };
        auto clamp = [&] {
            if (tree.FoundLength > remaining) tree.FoundLength = remaining;
        };
        while (remaining > 0) {
            const int lastLength = tree.FoundLength;
            const int lastPosition = tree.FoundPosition;
            advance();
            clamp();
            if (tree.FoundLength > lastLength || lastLength < kMinMatch) {
                blocks_->RecordItem(finder->Window().bytes[tree.CurrentPos - 1], 0);
            } else {
                blocks_->RecordItem(static_cast<unsigned>(lastLength + 253),
                                    static_cast<unsigned>(tree.CurrentPos - lastPosition - 2) & 0x1FFFu);
                for (int k = 1; k < lastLength; ++k) advance();
                clamp();
            }
        }
        return true;
    }

    EncoderInput input_;
    std::unique_ptr<BlockWriter> blocks_;
    std::size_t workers_;
    Layout layout_;
    ParallelStats stats_;
    bool speculate_ = true;  // chunks go to cold finders
    int failuresInARow_ = 0;

    std::deque<std::unique_ptr<Fill>> fills_;  // fills read and still needed, from firstFill_ on
    std::int64_t firstFill_ = 0;
    std::int64_t nextFill_ = 0;
    bool ended_ = false;

    std::int64_t nextChunk_ = 0;
    std::deque<std::unique_ptr<Chunk>> running_;  // handed out, in order
    std::deque<std::unique_ptr<Chunk>> ready_;    // checked, their matches being parsed
    std::unique_ptr<StreamFinder> truth_;         // the checked finder at the end of the last ready chunk
    std::int64_t next_ = 0;                       // the position the parse decides next
};

}  // namespace

ParallelStats Lh5CompressParallel(CodecEngine& engine, int workers, int warmUpCycles, int chunkCycles) {
    if (workers < 2) {
        Lh5Compress(engine);
        return {};
    }
    // A cold start needs a whole cycle of history before it: at most chunkCycles - 1 cycles of
    // warm-up.
    const int cycles = std::max(chunkCycles, 2);
    const Layout layout{cycles, std::clamp(warmUpCycles, 1, cycles - 1)};
    return ParallelCompressor(engine, std::min(workers, kMaxParallelWorkers), layout).Run();
}

}  // namespace qvx::lh5
