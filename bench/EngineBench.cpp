// Throughput of the codec engine's byte interface and of the RLE expansion, in bytes per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"

namespace {

using qvx::CodecEngine;

std::vector<std::uint8_t> MakeData(std::size_t n) {
    std::vector<std::uint8_t> data(n);
    std::uint32_t x = 0x12345678;
    for (auto& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return data;
}

// ReadByte -> WriteByte copy loop over the engine, the path every codec's bytes take.
void BM_EnginePassThrough(benchmark::State& state) {
    const auto size = static_cast<std::int32_t>(state.range(0));
    const auto data = MakeData(static_cast<std::size_t>(size));
    for (auto _ : state) {
        qvx::TMemoryStream source(data);
        qvx::TNullStream dest;
        CodecEngine engine(dest, source, size, CodecEngine::kExpandOutputLimit, {});
        for (;;) {
            const std::uint8_t b = engine.ReadByte();
            if (engine.EndOfInput()) break;
            engine.WriteByte(b);
        }
        engine.FlushOutput();
        benchmark::DoNotOptimize(engine.OutputChecksum());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_EnginePassThrough)->Arg(1 << 20)->Arg(16 << 20);

// The bulk writer the decoders use for match copies: 64-byte pieces through WriteBytes.
void BM_EngineWriteBytes(benchmark::State& state) {
    const auto size = static_cast<std::int32_t>(state.range(0));
    const auto data = MakeData(64);
    for (auto _ : state) {
        qvx::TMemoryStream source(data);
        qvx::TNullStream dest;
        CodecEngine engine(dest, source, 0, CodecEngine::kExpandOutputLimit, {});
        for (std::int32_t n = 0; n < size; n += 64) engine.WriteBytes(data.data(), 64);
        engine.FlushOutput();
        benchmark::DoNotOptimize(engine.OutputChecksum());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_EngineWriteBytes)->Arg(16 << 20);

// The fixed cost of one RunCodec request: engine set-up, the codec's workspace, the flush and
// the checksum, on a 16-byte input. Argument: 0 LH5 compress, 1 LH5 expand, 2 LZH compress,
// 3 LZH expand.
void BM_RunCodecOverhead(benchmark::State& state) {
    const auto which = state.range(0);
    const qvx::CompressMethod method = which < 2 ? qvx::cmLH5 : qvx::cmLZH;
    const std::vector<std::uint8_t> plain(16, 'a');
    qvx::TQuorvexCompress component;
    component.SetMinimumSaving(0);
    std::vector<std::uint8_t> packed;
    {
        qvx::TMemoryStream source(plain);
        qvx::TMemoryStream dest;
        std::uint32_t checksum = 0;
        qvx::RunCodec(component, dest, source, 16, 0, method, checksum, false);
        packed = dest.TakeData();
    }
    const bool expanding = (which & 1) != 0;
    const std::vector<std::uint8_t>& input = expanding ? packed : plain;
    for (auto _ : state) {
        qvx::TMemoryStream source(input);
        qvx::TNullStream dest;
        std::uint32_t checksum = 0;
        benchmark::DoNotOptimize(qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(input.size()), 16,
                                               method, checksum, expanding));
        benchmark::DoNotOptimize(checksum);
    }
    state.SetLabel(std::string(method == qvx::cmLH5 ? "LH5 " : "LZH ") + (expanding ? "expand" : "compress"));
}
BENCHMARK(BM_RunCodecOverhead)->DenseRange(0, 3);

// RLE stream with a mix of literals, escaped 0x94 bytes and runs; bytes/s counts expanded bytes.
std::vector<std::uint8_t> MakeRle(std::size_t items, std::int64_t& expandedSize) {
    std::vector<std::uint8_t> rle;
    const auto noise = MakeData(items);
    expandedSize = 0;
    for (std::size_t i = 0; i < items; ++i) {
        const std::uint8_t v = noise[i] == 0x94 ? 0x95 : noise[i];
        rle.push_back(v);
        ++expandedSize;
        if (i % 4 == 0) {
            const std::uint8_t n = static_cast<std::uint8_t>(2 + noise[i] % 30);
            rle.push_back(0x94);
            rle.push_back(n);
            expandedSize += n - 1;
        } else if (i % 7 == 0) {
            rle.push_back(0x94);
            rle.push_back(0x00);
            ++expandedSize;
        }
    }
    return rle;
}

void BM_RleExpand(benchmark::State& state) {
    std::int64_t expandedSize = 0;
    const auto rle = MakeRle(static_cast<std::size_t>(state.range(0)), expandedSize);
    const qvx::TQuorvexCompress component;
    for (auto _ : state) {
        qvx::TMemoryStream source(rle);
        qvx::TNullStream dest;
        std::uint32_t checksum = 0;
        qvx::RunCodec(component, dest, source, static_cast<std::int32_t>(rle.size()), 0, qvx::cmRLE, checksum, true);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(state.iterations() * expandedSize);
}
BENCHMARK(BM_RleExpand)->Arg(1 << 18)->Arg(1 << 21);

}  // namespace

BENCHMARK_MAIN();
