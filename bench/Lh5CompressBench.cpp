// LH5 compression throughput, in MB/s of input, over generated text-like data or, when the
// environment names one in QVX_BENCH_INPUT, over a file (for example a corpus of make-corpus.sh).
//
// BM_Lh5ParseOnly runs the encoder's match search and parse alone, with the chosen items thrown
// away: what any implementation of this parse costs before a single bit is written.
// BM_Lh5CompressThreads/N compresses one stream with the match search on N threads (the same
// bytes); its real time is the figure to read, since CPU time adds up the threads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>
#include <instcompress/ThreadedCompress.h>

#include "CodecEngine.h"
#include "lh5/encode/LiveMatches.h"

namespace {

// Words drawn with a skewed distribution, with line breaks and numbers: compresses like prose or
// source text.
std::vector<std::uint8_t> TextLikeData(std::size_t n) {
    static const char* const words[] = {
        "the ",    "of ",          "and ",    "to ",      "in ",        "is ",        "that ",    "for ",
        "it ",     "as ",          "with ",   "was ",     "on ",        "be ",        "archive ", "installer ",
        "window ", "compression ", "stream ", "entry ",   "block ",     "engine ",    "buffer ",  "position ",
        "length ", "symbol ",      "table ",  "Windows ", "directory ", "temporary ", "file ",    "data "};
    constexpr std::size_t kWords = sizeof(words) / sizeof(words[0]);
    std::vector<std::uint8_t> out;
    out.reserve(n);
    std::uint32_t x = 2463534242u;
    std::size_t column = 0;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Squaring the uniform draw favours the first words.
        const std::size_t r = (x >> 8) % 1024;
        const char* w = words[(r * r / 1024) * kWords / 1024];
        if ((x & 63) == 0) {
            const char digits[] = {static_cast<char>('0' + (x >> 12) % 10), static_cast<char>('0' + (x >> 16) % 10),
                                   ' ', 0};
            for (const char* p = digits; *p != 0 && out.size() < n; ++p) out.push_back(static_cast<std::uint8_t>(*p));
        }
        for (const char* p = w; *p != 0 && out.size() < n; ++p, ++column) out.push_back(static_cast<std::uint8_t>(*p));
        if (column > 70 && out.size() < n) {
            out.push_back('\n');
            column = 0;
        }
    }
    return out;
}

// The file named by QVX_BENCH_INPUT, cut to n bytes, or n bytes of text-like data.
std::vector<std::uint8_t> BenchInput(std::size_t n) {
    if (const char* path = std::getenv("QVX_BENCH_INPUT")) {
        std::ifstream file(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.size() > n) bytes.resize(n);
        return bytes;
    }
    return TextLikeData(n);
}

void BM_Lh5Compress(benchmark::State& state) {
    const auto input = BenchInput(static_cast<std::size_t>(state.range(0)));
    qvx::TQuorvexCompress component;
    std::int64_t packed = 0;
    for (auto _ : state) {
        qvx::TMemoryStream source(input);
        qvx::TNullStream dest;
        std::uint32_t checksum = 0;
        packed = qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(input.size()), 0, qvx::cmLH5,
                               checksum, false);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(input.size());
}
BENCHMARK(BM_Lh5Compress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

void BM_Lh5CompressThreads(benchmark::State& state) {
    const auto input = BenchInput(8 << 20);
    qvx::CodecSettings settings;
    settings.Yield = {};
    for (auto _ : state) {
        qvx::TMemoryStream source(input);
        qvx::TNullStream dest;
        const auto result = qvx::CompressLh5Threaded(settings, dest, source, static_cast<std::int32_t>(input.size()),
                                                     static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(result.Checksum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_Lh5CompressThreads)->Arg(1)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

struct DiscardItems {
    void RecordItem(unsigned symbol, unsigned position) { benchmark::DoNotOptimize(symbol + position); }
};

void BM_Lh5ParseOnly(benchmark::State& state) {
    const auto input = BenchInput(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        qvx::TMemoryStream source(input);
        qvx::TNullStream dest;
        qvx::CodecEngine engine(dest, source, static_cast<std::int32_t>(input.size()), 0x7FFFFFFF, {});
        auto finder = std::make_unique<qvx::lh5::StreamFinder>();
        qvx::lh5::EncoderInput in(engine);
        DiscardItems sink;
        benchmark::DoNotOptimize(qvx::lh5::ParseInput(*finder, in, sink));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_Lh5ParseOnly)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
