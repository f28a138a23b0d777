// LZH compression and expansion throughput on generated text-like input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes TextInput(std::size_t size) {
    static const char* const kWords[] = {"the",    "archive", "entry",  "window", "match",     "offset",  "length",
                                         "symbol", "tree",    "weight", "setup",  "installer", "program", "files",
                                         "of",     "and",     "a",      "to",     "in",        "is",      "for"};
    std::mt19937 rng(12345);
    Bytes out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const std::string w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        out.insert(out.end(), w.begin(), w.end());
        // Some numbers and odd words keep the data from being too regular.
        if (rng() % 7 == 0) {
            const std::string n = std::to_string(rng() % 100000);
            out.insert(out.end(), n.begin(), n.end());
        }
        out.push_back(rng() % 12 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

constexpr std::size_t kInputSize = 1 << 20;

Bytes Compress(const Bytes& in) {
    qvx::TQuorvexCompress component;
    qvx::TMemoryStream source(in), dest;
    std::uint32_t sum = 0;
    qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(in.size()), 0, qvx::cmLZH, sum, false);
    return dest.TakeData();
}

void BM_LzhCompress(benchmark::State& state) {
    const Bytes input = TextInput(kInputSize);
    std::size_t compressed = 0;
    for (auto _ : state) compressed = Compress(input).size();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(input.size());
}
BENCHMARK(BM_LzhCompress)->Unit(benchmark::kMillisecond);

void BM_LzhExpand(benchmark::State& state) {
    const Bytes input = TextInput(kInputSize);
    const Bytes stream = Compress(input);
    qvx::TQuorvexCompress component;
    for (auto _ : state) {
        qvx::TMemoryStream source(stream);
        qvx::TNullStream dest;
        std::uint32_t sum = 0;
        qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(stream.size()),
                      static_cast<std::int32_t>(input.size()), qvx::cmLZH, sum, true);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_LzhExpand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
