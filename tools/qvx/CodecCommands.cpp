// The raw codec commands: expand and compress a bare stream (no archive around it) with one
// method, through the codec engine. "-" stands for standard input or output.
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <optional>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/FileStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>
#include <instcompress/ThreadedCompress.h>

#include "AtomicFile.h"
#include "Cli.h"
#include "ErrorReport.h"
#include "FdStream.h"
#include "ListFormat.h"
#include "Progress.h"

namespace qvx::cli {

namespace {

struct CodecOptions {
    std::string Method;
    std::int64_t Size = -1;  // expanded size for expand; -1 when not given
    std::string Input;
    std::string Output;
    bool Verbose = false;
    bool Quiet = false;
    int Jobs = 1;  // compress: LH5 match search threads for the one stream
};

const std::map<std::string, CompressMethod> kMethods = {{"rle", cmRLE}, {"lzh", cmLZH}, {"lh5", cmLH5}};

// Copies standard input into an anonymous temporary file, so that its size is known.
std::unique_ptr<FdStream> SpoolStandardInput() {
    auto spool = AnonymousTemporaryFile("qvx-stdin");
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const auto n = ::read(0, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowSystemError("-", errno);
        if (n == 0) break;
        spool->WriteBuffer(buffer.data(), static_cast<std::int32_t>(n));
    }
    spool->SetPosition(0);
    return spool;
}

// The input stream and its size, which must fit the engine's signed 32-bit count.
struct Input {
    std::unique_ptr<TStream> Stream;
    std::int32_t Size = 0;
};

Input OpenInput(const std::string& name) {
    Input input;
    if (name == "-") {
        input.Stream = SpoolStandardInput();
    } else {
        input.Stream = std::make_unique<TFileStream>(name, FileMode::ReadShared);
    }
    const std::int64_t size = input.Stream->Size();
    if (size < 0) throw FileError(name, "Cannot determine the size of the input");
    if (size > std::numeric_limits<std::int32_t>::max()) throw FileError(name, "Input larger than 2 GB");
    input.Size = static_cast<std::int32_t>(size);
    return input;
}

int RunCodecCommand(const CodecOptions& options, bool expanding) {
    const CompressMethod method = kMethods.at(AsciiLower(options.Method));
    if (expanding && method != cmRLE && options.Size < 0) {
        ReportError("", "expand: -s SIZE (the expanded size) is required for " + AsciiLower(options.Method));
        return kExitUsage;
    }
    try {
        Input input = OpenInput(options.Input);
        CodecSettings settings;
        settings.Yield = cli::kNoYield;
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        settings.OnShowProgress = progress.Handler();
        // The raw stream carries no fallback: accept output larger than the input.
        settings.MinimumSaving = std::numeric_limits<std::int32_t>::min();
        progress.Start(options.Input == "-" ? "stdin" : options.Input);

        std::unique_ptr<AtomicFile> file;
        std::unique_ptr<FdStream> standardOutput;
        TStream* dest = nullptr;
        if (options.Output == "-") {
            standardOutput = std::make_unique<FdStream>(1, false);
            dest = standardOutput.get();
        } else {
            file = std::make_unique<AtomicFile>(options.Output);
            dest = &file->Stream();
        }
        const auto destSize = static_cast<std::int32_t>(options.Size < 0 ? 0 : options.Size);
        const CodecResult result =
            !expanding && method == cmLH5 && options.Jobs > 1
                ? CompressLh5Threaded(settings, *dest, *input.Stream, input.Size, options.Jobs)
                : RunCodec(settings, *dest, *input.Stream, input.Size, destSize, method, expanding);
        const std::int32_t written = result.OutputCount;
        const std::uint32_t checksum = result.Checksum;
        progress.Finish();
        if (file) file->Commit(true);
        if (options.Verbose) {
            std::fprintf(stderr, "qvx: %s: %d bytes in, %d bytes out, checksum %s\n", options.Input.c_str(),
                         static_cast<int>(input.Size), static_cast<int>(written), FormatChecksum(checksum).c_str());
        }
    } catch (...) {
        return ReportCurrentException(options.Input);
    }
    return kExitOk;
}

}  // namespace

void RegisterCodecCommands(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    {
        auto o = std::make_shared<CodecOptions>();
        CLI::App* cmd = app.add_subcommand("expand", "Expand a raw compressed stream");
        cmd->add_option("-m,--method", o->Method, "Method of the stream: rle, lzh or lh5")
            ->required()
            ->check(CLI::IsMember({"rle", "lzh", "lh5"}, CLI::ignore_case));
        cmd->add_option("-s,--size", o->Size, "Expanded size in bytes (required for lzh and lh5)")
            ->check(CLI::Range(std::int64_t{0}, std::int64_t{std::numeric_limits<std::int32_t>::max()}));
        cmd->add_flag("-v,--verbose", o->Verbose, "Print sizes and the checksum to stderr");
        cmd->add_option("IN", o->Input, "Compressed input file, - for standard input")->required();
        cmd->add_option("OUT", o->Output, "Output file, - for standard output")->required();
        registry.Add(cmd, [o, &global] {
            o->Quiet = global.quiet;
            return RunCodecCommand(*o, true);
        });
    }
    {
        auto o = std::make_shared<CodecOptions>();
        o->Method = "lh5";
        CLI::App* cmd = app.add_subcommand("compress", "Compress a file into a raw stream");
        cmd->add_option("-m,--method", o->Method, "Method: lzh or lh5 (default: lh5)")
            ->check(CLI::IsMember({"lzh", "lh5"}, CLI::ignore_case));
        cmd->add_option("-j,--jobs", o->Jobs, "LH5: threads searching the stream at once, at most 2 (default 1); the output is the same")
            ->check(CLI::Range(1, 64));
        cmd->add_flag("-v,--verbose", o->Verbose, "Print sizes and the checksum to stderr");
        cmd->add_option("IN", o->Input, "Input file, - for standard input")->required();
        cmd->add_option("OUT", o->Output, "Compressed output file, - for standard output")->required();
        registry.Add(cmd, [o, &global] {
            o->Quiet = global.quiet;
            return RunCodecCommand(*o, false);
        });
    }
}

}  // namespace qvx::cli
