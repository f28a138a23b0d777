#include <gtest/gtest.h>

#include <numeric>

#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CodecEngine.h"
#include "TestSupport.h"

namespace qvx::test {
namespace {

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

// Reads every byte the engine delivers, until EndOfInput.
Bytes Drain(CodecEngine& engine) {
    Bytes got;
    for (;;) {
        const std::uint8_t b = engine.ReadByte();
        if (engine.EndOfInput()) break;
        got.push_back(b);
    }
    return got;
}

TEST(CodecEngineInput, SourcesizeZeroReadsNothingAndReportsNothing) {
    ProbeStream src(ToBytes("abc"));
    ProbeStream dst;
    int calls = 0;
    CodecEngine engine(dst, src, 0, 100, [&](std::int32_t&) { ++calls; });
    EXPECT_EQ(engine.ReadByte(), 0);
    EXPECT_TRUE(engine.EndOfInput());
    EXPECT_EQ(engine.ReadByte(), 0);
    EXPECT_TRUE(engine.EndOfInput());
    EXPECT_TRUE(src.ReadRequests.empty());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(engine.InputChecksum(), 0u);
}

TEST(CodecEngineInput, NeverReadsPastSourcesize) {
    const Bytes data = Pattern(20000);
    ProbeStream src(data);
    ProbeStream dst;
    CodecEngine engine(dst, src, 10000, 0x7FFFFFFF, {});
    const Bytes got = Drain(engine);
    EXPECT_EQ(got, Bytes(data.begin(), data.begin() + 10000));
    EXPECT_EQ(src.ReadRequests, (std::vector<std::int32_t>{8192, 1808}));
    EXPECT_EQ(src.Pos(), 10000);
    EXPECT_EQ(engine.InputChecksum(), ByteSum(data.data(), 10000));
}

TEST(CodecEngineInput, SmallPiecesAreAllUsedAndPercentRunsAgainstSourcesize) {
    const Bytes data = Pattern(1000);
    ProbeStream src(data);
    src.PieceSize = 300;
    ProbeStream dst;
    std::vector<std::int32_t> percents;
    CodecEngine engine(dst, src, 1000, 0x7FFFFFFF, [&](std::int32_t& p) { percents.push_back(p); });
    EXPECT_EQ(Drain(engine), data);
    // Each refill asks for min(request size, remaining input); the request size only ever shrinks.
    EXPECT_EQ(src.ReadRequests, (std::vector<std::int32_t>{1000, 700, 400, 100}));
    EXPECT_EQ(percents, (std::vector<std::int32_t>{30, 60, 90, 100}));
}

TEST(CodecEngineInput, ShortSourceEndsTheInputWithoutError) {
    const Bytes data = Pattern(100);
    ProbeStream src(data);
    ProbeStream dst;
    CodecEngine engine(dst, src, 500, 0x7FFFFFFF, {});
    EXPECT_EQ(Drain(engine), data);
    EXPECT_TRUE(engine.EndOfInput());
    EXPECT_EQ(engine.ReadByte(), 0);
    EXPECT_TRUE(engine.EndOfInput());
    EXPECT_EQ(engine.InputChecksum(), Sum(data));
}

// InputExhausted promises that further ReadByte calls change nothing: it may hold only once the
// end was reported with no input left to ask for and nothing buffered.
TEST(CodecEngineInput, ExhaustedOnlyWhenFurtherReadsChangeNothing) {
    const Bytes data = Pattern(100);
    {
        ProbeStream src(data);
        ProbeStream dst;
        CodecEngine engine(dst, src, 100, 0x7FFFFFFF, {});
        EXPECT_FALSE(engine.InputExhausted());
        engine.ReadByte();
        EXPECT_FALSE(engine.InputExhausted());  // bytes are buffered
        EXPECT_EQ(Drain(engine).size(), 99u);
        EXPECT_TRUE(engine.InputExhausted());
        EXPECT_EQ(engine.InputChecksum(), Sum(data));
    }
    {
        // A source shorter than Sourcesize: every later ReadByte asks the stream again.
        ProbeStream src(data);
        ProbeStream dst;
        CodecEngine engine(dst, src, 500, 0x7FFFFFFF, {});
        EXPECT_EQ(Drain(engine), data);
        EXPECT_TRUE(engine.EndOfInput());
        EXPECT_FALSE(engine.InputExhausted());
    }
    {
        // A cancel keeps the block it has just read.
        ProbeStream src(data);
        ProbeStream dst;
        CodecEngine engine(dst, src, 100, 0x7FFFFFFF, [](std::int32_t& p) { p = -1; });
        EXPECT_EQ(engine.ReadByte(), 0);
        EXPECT_TRUE(engine.EndOfInput());
        EXPECT_FALSE(engine.InputExhausted());
        for (std::size_t i = 0; i < data.size(); ++i) EXPECT_EQ(engine.ReadByte(), data[i]);
        EXPECT_FALSE(engine.InputExhausted());  // the next read adds the block to the checksum
        EXPECT_EQ(engine.ReadByte(), 0);
        EXPECT_TRUE(engine.InputExhausted());
        EXPECT_EQ(engine.InputChecksum(), Sum(data));
    }
}

TEST(CodecEngineInput, NegativeSourcesizeRaisesInvalidSize) {
    ProbeStream src, dst;
    EXPECT_THROW(CodecEngine(dst, src, -1, 10, {}), EInvalidSize);
    TQuorvexCompress component;
    std::uint32_t checksum = 77;
    EXPECT_THROW(RunCodec(component, dst, src, -5, 0, cmRLE, checksum, true), EInvalidSize);
    EXPECT_TRUE(src.ReadRequests.empty());
}

TEST(CodecEnginePercent, Forms) {
    EXPECT_EQ(CodecEngine::Percent(99999, 100000), 99);
    EXPECT_EQ(CodecEngine::Percent(100000, 100000), 100);
    EXPECT_EQ(CodecEngine::Percent(8192, 100000), 8);
    // Above 100,000 the form is a / (b / 100): 100,001 / 100 = 1000.
    EXPECT_EQ(CodecEngine::Percent(99999, 100001), 99);
    EXPECT_EQ(CodecEngine::Percent(100001, 100001), 100);
    EXPECT_EQ(CodecEngine::Percent(1999, 100001), 1);
    EXPECT_EQ(CodecEngine::Percent(8192, 401981), 2);
    EXPECT_EQ(CodecEngine::Percent(0x7FFFFFFF, 0x7FFFFFFF), 100);
}

TEST(CodecEngineProgress, FirstBlockOf401981GivesTwo) {
    const Bytes data = Pattern(401981);
    ProbeStream src(data);
    ProbeStream dst;
    std::vector<std::int32_t> percents;
    CodecEngine engine(dst, src, 401981, 0x7FFFFFFF, [&](std::int32_t& p) { percents.push_back(p); });
    EXPECT_EQ(Drain(engine).size(), data.size());
    ASSERT_EQ(percents.size(), 50u);  // 49 full blocks and one of 573 bytes
    EXPECT_EQ(percents.front(), 2);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
}

TEST(CodecEngineProgress, CancelKeepsTheBlockAndTheFlag) {
    const Bytes data = Pattern(8192 + 100);
    ProbeStream src(data);
    ProbeStream dst;
    int calls = 0;
    CodecEngine engine(dst, src, 8292, 0x7FFFFFFF, [&](std::int32_t& p) {
        ++calls;
        if (calls == 1) p = -1;
    });
    EXPECT_EQ(engine.ReadByte(), 0);
    EXPECT_TRUE(engine.EndOfInput());
    EXPECT_EQ(calls, 1);
    // The block just read is delivered while the flag stays set.
    Bytes block;
    for (int i = 0; i < 8192; ++i) {
        block.push_back(engine.ReadByte());
        EXPECT_TRUE(engine.EndOfInput());
    }
    EXPECT_EQ(block, Bytes(data.begin(), data.begin() + 8192));
    EXPECT_EQ(engine.InputChecksum(), ByteSum(data.data(), 8192));
    EXPECT_EQ(calls, 1);
    // The next refill runs as usual, with a new progress call, and clears the flag.
    EXPECT_EQ(engine.ReadByte(), data[8192]);
    EXPECT_FALSE(engine.EndOfInput());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(src.ReadRequests, (std::vector<std::int32_t>{8192, 100}));
}

TEST(CodecEngineProgress, OnlyMinusOneCancels) {
    for (std::int32_t value : {-2, 0, 101, 1000000, INT32_MIN}) {
        const Bytes data = Pattern(20000);
        ProbeStream src(data);
        ProbeStream dst;
        CodecEngine engine(dst, src, 20000, 0x7FFFFFFF, [&](std::int32_t& p) { p = value; });
        EXPECT_EQ(Drain(engine), data) << value;
    }
}

TEST(CodecEngineOutput, Exactly8192BytesAreWrittenOnlyAtTheEnd) {
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 0, 0x7FFFFFFF, {});
    const Bytes data = Pattern(8192);
    for (auto b : data) engine.WriteByte(b);
    EXPECT_TRUE(dst.WriteSizes.empty());
    engine.FlushOutput();
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192}));
    EXPECT_EQ(dst.Data(), data);
    EXPECT_EQ(engine.OutputChecksum(), Sum(data));
    EXPECT_EQ(engine.OutputCount(), 8192);
}

TEST(CodecEngineOutput, The8193rdByteWritesTheFullBlock) {
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 0, 0x7FFFFFFF, {});
    const Bytes data = Pattern(8193);
    for (std::size_t i = 0; i < 8192; ++i) engine.WriteByte(data[i]);
    EXPECT_TRUE(dst.WriteSizes.empty());
    engine.WriteByte(data[8192]);
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192}));
    engine.FlushOutput();
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192, 1}));
    EXPECT_EQ(dst.Data(), data);
    EXPECT_EQ(engine.OutputChecksum(), Sum(data));
    EXPECT_EQ(engine.OutputCount(), 8193);
}

TEST(CodecEngineOutput, FlushWithNothingPendingWritesNothing) {
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 0, 0x7FFFFFFF, {});
    engine.FlushOutput();
    EXPECT_TRUE(dst.WriteSizes.empty());
    EXPECT_EQ(engine.OutputCount(), 0);
}

TEST(CodecEngineOutput, LimitAcceptsExactlyItsBytes) {
    // Compressing 1000 bytes with MinimumSaving 0 gives an output limit of 1000.
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 1000, 1000, {});
    for (int i = 0; i < 1000; ++i) engine.WriteByte(static_cast<std::uint8_t>(i));
    EXPECT_EQ(MessageOf<EUnableToCompress>([&] { engine.WriteByte(1); }), "Could not compress data");
    EXPECT_THROW(engine.WriteByte(1), EUnableToCompress);
    EXPECT_EQ(engine.OutputCount(), 1000);
    EXPECT_TRUE(dst.WriteSizes.empty());
}

TEST(CodecEngineOutput, LimitAcrossBlocks) {
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 0, 8192 * 2 + 5, {});
    for (int i = 0; i < 8192 * 2 + 5; ++i) engine.WriteByte(static_cast<std::uint8_t>(i));
    EXPECT_THROW(engine.WriteByte(0), EUnableToCompress);
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192, 8192}));
    engine.FlushOutput();
    EXPECT_EQ(dst.Data().size(), 8192u * 2 + 5);
}

TEST(CodecEngineOutput, ZeroLimitRejectsTheFirstByte) {
    ProbeStream src, dst;
    CodecEngine engine(dst, src, 0, 0, {});
    EXPECT_THROW(engine.WriteByte(0), EUnableToCompress);
}

TEST(CodecEngineOutput, FailingDestRaisesWriteError) {
    ProbeStream src;
    FailingWriteStream dst;
    CodecEngine engine(dst, src, 0, 0x7FFFFFFF, {});
    for (int i = 0; i < 8192; ++i) engine.WriteByte(1);
    EXPECT_EQ(MessageOf<EWriteError>([&] { engine.WriteByte(1); }), "Stream write error");
}

// RunCodec dispatch.

TEST(RunCodecDispatch, NonCusAndUndefinedMethodsMoveNothing) {
    TQuorvexCompress component;
    int calls = 0;
    component.SetOnShowProgress([&](std::int32_t&) { ++calls; });
    for (bool expanding : {true, false}) {
        for (int method :
             {MethodIndex(cmNON), MethodIndex(cmCUS), std::uint8_t{5}, std::uint8_t{200}, std::uint8_t{255}}) {
            ProbeStream src(ToBytes("abcdef")), dst;
            std::uint32_t checksum = 1234;
            const auto count = RunCodec(component, dst, src, 6, 6, MethodFromIndex(static_cast<std::uint8_t>(method)),
                                        checksum, expanding);
            EXPECT_EQ(checksum, 0u) << method;
            EXPECT_EQ(count, 0) << method;
            EXPECT_TRUE(src.ReadRequests.empty()) << method;
            EXPECT_TRUE(dst.WriteSizes.empty()) << method;
        }
    }
    EXPECT_EQ(calls, 0);
}

TEST(RunCodecDispatch, RleWithSourcesizeZeroReadsNothing) {
    TQuorvexCompress component;
    int calls = 0;
    component.SetOnShowProgress([&](std::int32_t&) { ++calls; });
    ProbeStream src(ToBytes("abc")), dst;
    std::uint32_t checksum = 42;
    EXPECT_EQ(RunCodec(component, dst, src, 0, 0, cmRLE, checksum, true), 0);
    EXPECT_EQ(checksum, 0u);
    EXPECT_TRUE(src.ReadRequests.empty());
    EXPECT_TRUE(dst.WriteSizes.empty());
    EXPECT_EQ(calls, 0);
}

TEST(RunCodecDispatch, OutputBlockBoundaryThroughRunCodec) {
    TQuorvexCompress component;
    for (std::int32_t n : {8191, 8192, 8193, 16384, 16385}) {
        const Bytes literals(static_cast<std::size_t>(n), 'L');
        ProbeStream src(literals), dst;
        std::uint32_t checksum = 0;
        EXPECT_EQ(RunCodec(component, dst, src, n, n, cmRLE, checksum, true), n);
        std::vector<std::int32_t> expected(static_cast<std::size_t>((n - 1) / 8192), 8192);
        expected.push_back(n - 8192 * ((n - 1) / 8192));
        EXPECT_EQ(dst.WriteSizes, expected) << n;
        EXPECT_EQ(dst.Data(), literals);
        EXPECT_EQ(checksum, Sum(literals));
    }
}

TEST(RunCodecDispatch, RleCompressionIsDisabled) {
    TQuorvexCompress component;
    ProbeStream src(ToBytes("abc")), dst;
    std::uint32_t checksum = 9;
    EXPECT_EQ(
        MessageOf<EUnrecognizedCompressionMethod>([&] { RunCodec(component, dst, src, 3, 0, cmRLE, checksum, false); }),
        "RLE compression disabled in this build");
    EXPECT_TRUE(src.ReadRequests.empty());
    EXPECT_TRUE(dst.WriteSizes.empty());
    EXPECT_EQ(checksum, 9u);
}

TEST(RunCodecDispatch, RleExpandGivesOutputChecksumAndCount) {
    TQuorvexCompress component;
    const Bytes rle = {'A', 0x94, 0x05, 0xFF, 0x94, 0x00};
    ProbeStream src(rle), dst;
    std::uint32_t checksum = 0;
    const auto count = RunCodec(component, dst, src, 6, 7, cmRLE, checksum, true);
    const Bytes expected = {'A', 'A', 'A', 'A', 'A', 0xFF, 0x94};
    EXPECT_EQ(dst.Data(), expected);
    EXPECT_EQ(checksum, Sum(expected));
    EXPECT_EQ(count, 7);
    EXPECT_EQ(src.Pos(), 6);
}

TEST(RunCodecDispatch, ExceptionLeavesOnlyFullBlocksInDest) {
    // 20000 literal bytes expand to 20000 bytes; the write of the third block fails mid-way, and
    // only the two full blocks written before reach dest.
    TQuorvexCompress component;
    Bytes rle(20000, 'x');
    ProbeStream src(rle), dst;
    dst.FailWritesAfter = 8192 * 2;
    std::uint32_t checksum = 5;
    // The final partial write (3616 bytes) fails: the exception passes and checksum is not assigned.
    EXPECT_THROW(RunCodec(component, dst, src, 20000, 20000, cmRLE, checksum, true), EWriteError);
    EXPECT_EQ(dst.Data().size(), 8192u * 2);
    EXPECT_EQ(checksum, 5u);
}

TEST(RunCodecDispatch, CodecExceptionLeavesOnlyFullBlocks) {
    // The progress handler throws during the third refill: 16384 bytes went out in two full
    // blocks before it; the bytes still in the output buffer are dropped.
    TQuorvexCompress component;
    int calls = 0;
    component.SetOnShowProgress([&](std::int32_t&) {
        if (++calls == 3) throw EBadChecksum();
    });
    Bytes rle(8192 * 3, 'y');
    ProbeStream src(rle), dst;
    std::uint32_t checksum = 5;
    EXPECT_THROW(RunCodec(component, dst, src, 8192 * 3, 8192 * 3, cmRLE, checksum, true), EBadChecksum);
    EXPECT_EQ(dst.WriteSizes, (std::vector<std::int32_t>{8192}));
    EXPECT_EQ(dst.Data(), Bytes(8192, 'y'));
    EXPECT_EQ(checksum, 5u);
}

// Request settings: the yield hook and the cancellation report.

Bytes LiteralsOnly(std::size_t n) {  // RLE input without the escape byte expands to itself
    Bytes b = Pattern(n);
    for (auto& c : b)
        if (c == 0x94) c = 0x95;
    return b;
}

TEST(RunCodecSettings, YieldRunsOncePerInputBlockAndPerFullOutputBlock) {
    const Bytes data = LiteralsOnly(20000);  // 3 input blocks; 2 full output blocks written early
    struct Case {
        bool Hook;
        bool Cancel;
        int Yields;
    } cases[] = {{true, false, 5}, {false, false, 0}, {true, true, 0}};
    for (const Case& c : cases) {
        int yields = 0;
        CodecSettings settings;
        settings.Yield = c.Hook ? YieldHook([&] { ++yields; }) : YieldHook{};
        if (c.Cancel) settings.OnShowProgress = [](std::int32_t& p) { p = -1; };
        TMemoryStream src(data), dst;
        const CodecResult r = RunCodec(settings, dst, src, static_cast<std::int32_t>(data.size()), 20000, cmRLE, true);
        EXPECT_EQ(yields, c.Yields) << c.Hook << c.Cancel;
        EXPECT_EQ(r.Cancelled, c.Cancel);
        EXPECT_EQ(r.OutputCount, c.Cancel ? 0 : 20000);
    }
}

TEST(RunCodecSettings, CancelIsReportedWhateverTheCodecDoesWithIt) {
    const Bytes data = LiteralsOnly(30000);
    // Cancel at the n-th progress call (0: never); the component overload gives the same bytes.
    for (int cancelAt : {0, 1, 2, 4}) {
        for (CompressMethod method : {cmRLE, cmLZH, cmLH5}) {
            const bool expanding = method == cmRLE;
            int calls = 0;
            TQuorvexCompress component;
            component.SetOnShowProgress([&](std::int32_t& p) {
                if (++calls == cancelAt) p = -1;
            });
            TMemoryStream src(data), dst;
            const CodecResult r = RunCodec(component.Settings(), dst, src, 30000, 30000, method, expanding);
            EXPECT_EQ(r.Cancelled, cancelAt != 0) << MethodName(method) << cancelAt;

            calls = 0;
            TMemoryStream src2(data), dst2;
            std::uint32_t checksum = 0;
            EXPECT_EQ(RunCodec(component, dst2, src2, 30000, 30000, method, checksum, expanding), r.OutputCount);
            EXPECT_EQ(checksum, r.Checksum);
            EXPECT_EQ(dst2.Data(), dst.Data());
        }
    }
}

// ExpandCodec and CompressCodec, each direction on its own: round trips, the result's fields and
// the errors of each direction's checks.
struct DirectionOutcome {
    Bytes Output;
    CodecResult Result;
    std::string Error;  // the message of the exception raised, empty when none
};

template <class F>
DirectionOutcome RunDirection(const Bytes& input, F&& run) {
    ProbeStream src(input), dst;
    DirectionOutcome outcome;
    try {
        outcome.Result = run(dst, src, static_cast<std::int32_t>(input.size()));
    } catch (const Exception& e) {
        outcome.Error = e.what();
    }
    outcome.Output = dst.Data();
    return outcome;
}

TEST(RunCodecDirections, CompressThenExpand) {
    const std::string kUnable = "Could not compress data";
    const std::string kEarly = "compressed data ends before the entry is complete";
    const std::string kPast = "compressed data expands past the entry's size";
    struct Case {
        const char* name;
        CompressMethod method;
        Bytes input;
        std::int32_t minimumSaving;
        std::int32_t sizeDelta;  // added to the input's size to give the expanded size
        bool checked;
        std::string compressError;
        std::string expandError;
    };
    const Bytes text = Pattern(30000);
    const Bytes runs(20000, 'r');
    const std::vector<Case> cases = {
        {"LH5 pattern", cmLH5, text, 0, 0, true, "", ""},
        {"LZH pattern", cmLZH, text, 0, 0, true, "", ""},
        {"LH5 runs", cmLH5, runs, 0, 0, true, "", ""},
        {"LZH runs", cmLZH, runs, 0, 0, true, "", ""},
        {"LH5 empty", cmLH5, {}, 0, 0, true, "", ""},
        {"LZH one byte: no room for its code", cmLZH, {0x41}, 0, 0, true, kUnable, ""},
        {"LH5 saving out of reach", cmLH5, runs, 19990, 0, true, kUnable, ""},
        {"LZH saving out of reach", cmLZH, runs, 19990, 0, true, kUnable, ""},
        {"LH5 size one short", cmLH5, text, 0, -1, true, "", kPast},
        {"LZH size one short", cmLZH, text, 0, -1, true, "", kPast},
        {"LH5 size one beyond", cmLH5, text, 0, 1, true, "", kEarly},
        {"LZH size one beyond", cmLZH, text, 0, 1, true, "", kEarly},
        {"LZH negative size", cmLZH, runs, 0, -20001, true, "", "Negative expanded size"},
        {"NON", cmNON, text, 0, 0, true, "", ""},
        {"CUS", cmCUS, text, 0, 0, true, "", ""},
    };
    for (const Case& c : cases) {
        CodecSettings settings;
        settings.MinimumSaving = c.minimumSaving;
        settings.CheckedExpansion = c.checked;
        const DirectionOutcome packed = RunDirection(c.input, [&](TStream& d, TStream& s, std::int32_t n) {
            return CompressCodec(settings, d, s, n, c.method);
        });
        EXPECT_EQ(packed.Error, c.compressError) << c.name;
        if (!packed.Error.empty()) continue;
        const bool codec = c.method == cmLH5 || c.method == cmLZH;
        EXPECT_EQ(packed.Result.OutputCount, static_cast<std::int32_t>(packed.Output.size())) << c.name;
        EXPECT_EQ(packed.Result.Checksum, codec ? Sum(c.input) : 0u) << c.name;
        EXPECT_EQ(packed.Output.empty(), !codec || c.input.empty()) << c.name;

        const auto size = static_cast<std::int32_t>(c.input.size()) + c.sizeDelta;
        const DirectionOutcome unpacked = RunDirection(packed.Output, [&](TStream& d, TStream& s, std::int32_t n) {
            return ExpandCodec(settings, d, s, n, size, c.method);
        });
        EXPECT_EQ(unpacked.Error, c.expandError) << c.name;
        if (!codec) {
            EXPECT_TRUE(unpacked.Output.empty()) << c.name;
        } else if (c.expandError.empty()) {
            EXPECT_EQ(unpacked.Output, c.input) << c.name;
            EXPECT_EQ(unpacked.Result.Checksum, Sum(c.input)) << c.name;
            EXPECT_EQ(unpacked.Result.OutputCount, size) << c.name;
        } else if (size >= 0) {
            // Never a byte past the expanded size, and only what the input gives.
            ASSERT_LE(unpacked.Output.size(), static_cast<std::size_t>(size)) << c.name;
            EXPECT_TRUE(std::equal(unpacked.Output.begin(), unpacked.Output.end(), c.input.begin())) << c.name;
        }
    }
}

TEST(RunCodecDirections, ExpandRunsRleAndCompressRefusesIt) {
    const Bytes rle = {'A', 0x94, 0x05, 0xFF, 0x94, 0x00};
    const DirectionOutcome packed = RunDirection(
        ToBytes("abc"), [](TStream& d, TStream& s, std::int32_t n) { return CompressCodec({}, d, s, n, cmRLE); });
    EXPECT_EQ(packed.Error, "RLE compression disabled in this build");
    const DirectionOutcome unpacked =
        RunDirection(rle, [](TStream& d, TStream& s, std::int32_t n) { return ExpandCodec({}, d, s, n, 7, cmRLE); });
    const Bytes expected = {'A', 'A', 'A', 'A', 'A', 0xFF, 0x94};
    EXPECT_EQ(unpacked.Output, expected);
    EXPECT_EQ(unpacked.Result.Checksum, Sum(expected));
}

TEST(RunCodecDispatch, ChecksumWrapsOver32Bits) {
    // FF 94 FF repeated: each item writes 255 bytes 0xFF. 70,000 items give 17,850,000 bytes, whose
    // sum passes 2^32.
    TQuorvexCompress component;
    Bytes rle;
    for (int i = 0; i < 70000; ++i) rle.insert(rle.end(), {0xFF, 0x94, 0xFF});
    ProbeStream src(rle);
    TNullStream dst;
    std::uint32_t checksum = 0;
    const std::uint64_t n = 70000ull * 255;
    const auto count = RunCodec(component, dst, src, static_cast<std::int32_t>(rle.size()),
                                static_cast<std::int32_t>(n), cmRLE, checksum, true);
    EXPECT_EQ(count, static_cast<std::int32_t>(n));
    EXPECT_EQ(dst.Size(), static_cast<std::int64_t>(n));
    EXPECT_GT(n * 0xFF, 0xFFFFFFFFull);
    EXPECT_EQ(checksum, static_cast<std::uint32_t>(n * 0xFF));
}

}  // namespace
}  // namespace qvx::test
