// LH5 expansion speed, in bytes of output per second.
//
// The streams are the LH5 encoder's own output (Lh5Compress through RunCodec), as payloads carry.
#include <benchmark/benchmark.h>

#include <random>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Literals only: bytes with a skewed distribution, so most codes are short (table hits).
Bytes LiteralData(std::size_t size) {
    std::mt19937 rng(1);
    std::geometric_distribution<int> dist(0.05);
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(' ' + dist(rng) % 90);
    return data;
}

// Text-like data with many matches.
Bytes TextData(std::size_t size) {
    std::mt19937 rng(2);
    static const char* words[] = {"installer ", "archive ", "window ", "entry ",  "the ",  "of ",        "block ",
                                  "Quorvex ",   "setup ",   "data ",   "expand ", "file ", "temporary ", "engine "};
    Bytes data;
    while (data.size() < size) {
        const char* w = words[rng() % 14];
        while (*w && data.size() < size) data.push_back(static_cast<std::uint8_t>(*w++));
        if (rng() % 11 == 0) data.push_back(static_cast<std::uint8_t>('0' + rng() % 10));
    }
    return data;
}

// The stream qvx writes for data: real Lh5Compress output.
Bytes Compress(const Bytes& data) {
    qvx::TQuorvexCompress component;
    qvx::TMemoryStream source(data);
    qvx::TMemoryStream dest;
    std::uint32_t checksum = 0;
    const std::int32_t n =
        qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(data.size()), 0, qvx::cmLH5, checksum, false);
    Bytes stream(static_cast<std::size_t>(n));
    dest.SetPosition(0);
    dest.ReadBuffer(stream.data(), n);
    return stream;
}

void RunExpand(benchmark::State& state, const Bytes& data, const Bytes& stream) {
    qvx::TQuorvexCompress component;
    qvx::TMemoryStream source(stream);
    for (auto _ : state) {
        source.SetPosition(0);
        qvx::TNullStream dest;
        std::uint32_t checksum = 0;
        qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(stream.size()),
                      static_cast<std::int32_t>(data.size()), qvx::cmLH5, checksum, true);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
    state.counters["ratio"] = static_cast<double>(stream.size()) / static_cast<double>(data.size());
}

void BM_Lh5ExpandLiterals(benchmark::State& state) {
    static const Bytes data = LiteralData(4 << 20);
    static const Bytes stream = Compress(data);
    RunExpand(state, data, stream);
}
BENCHMARK(BM_Lh5ExpandLiterals)->Unit(benchmark::kMillisecond);

void BM_Lh5ExpandText(benchmark::State& state) {
    static const Bytes data = TextData(4 << 20);
    static const Bytes stream = Compress(data);
    RunExpand(state, data, stream);
}
BENCHMARK(BM_Lh5ExpandText)->Unit(benchmark::kMillisecond);

void BM_Lh5ExpandLongRuns(benchmark::State& state) {
    // Mostly 256-byte matches: the copy loop.
    static const Bytes data = [] {
        Bytes d = TextData(1000);
        while (d.size() < (4u << 20)) d.insert(d.end(), d.begin(), d.begin() + 1000);
        return d;
    }();
    static const Bytes stream = Compress(data);
    RunExpand(state, data, stream);
}
BENCHMARK(BM_Lh5ExpandLongRuns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
