// LH5 compression throughput, in MB/s of input, over generated text-like data.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "ArchiveFormat.h"
#include "CodecEngine.h"
#include "MemoryStream.h"
#include "QuorvexCompress.h"

namespace {

// Words drawn with a skewed distribution, with line breaks and numbers: compresses like prose or
// source text.
std::vector<std::uint8_t> TextLikeData(std::size_t n) {
    static const char* const words[] = {
        "the ", "of ", "and ", "to ", "in ", "is ", "that ", "for ", "it ", "as ", "with ", "was ", "on ", "be ",
        "archive ", "installer ", "window ", "compression ", "stream ", "entry ", "block ", "engine ", "buffer ",
        "position ", "length ", "symbol ", "table ", "Windows ", "directory ", "temporary ", "file ", "data "};
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
            const char digits[] = {static_cast<char>('0' + (x >> 12) % 10), static_cast<char>('0' + (x >> 16) % 10), ' ', 0};
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

void BM_Lh5Compress(benchmark::State& state) {
    const auto input = TextLikeData(static_cast<std::size_t>(state.range(0)));
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
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_Lh5Compress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
