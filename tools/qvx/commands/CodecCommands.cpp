// The raw codec commands: expand and compress a bare stream (no archive around it) with one
// method, through the codec engine. "-" stands for standard input or output. Neither command
// writes over its own input, nor binary data to a terminal unless -f is given; expand writes
// exactly -s bytes and fails when the stream holds fewer or more (RawExpansion.h).
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <memory>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/CodecSettings.h>
#include <instcompress/RunCodec.h>
#include <instcompress/ThreadedCompress.h>

#include "platform/AtomicFile.h"
#include "commands/Commands.h"
#include "cli/Cli.h"
#include "cli/ErrorReport.h"
#include "platform/FileStreams.h"
#include "archive/ListFormat.h"
#include "cli/Progress.h"
#include "archive/RawExpansion.h"
#include "platform/SameFile.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"
#include "platform/Terminal.h"

namespace qvx::cli {

namespace {

struct CodecOptions {
    std::string Method;
    std::int64_t Size = -1;  // expanded size for expand; -1 when not given
    std::string Input;
    std::string Output;
    bool Verbose = false;
    bool Quiet = false;
    bool Force = false;    // write binary data to a terminal
    bool Partial = false;  // expand: keep the output of a stream that does not fit -s
    int Jobs = 1;          // compress: LH5 match search threads for the one stream
};

const std::map<std::string, CompressMethod> kMethods = {{"rle", cmRLE}, {"lzh", cmLZH}, {"lh5", cmLH5}};

// The input of a codec command: a regular file read in place, whose size is known; standard input
// ("-"), a pipe or a device read forward as it comes, to its end (at most the size an engine
// request can hold), never copied aside.
struct Input {
    std::unique_ptr<TStream> File;
    std::int32_t Size = 0;  // of File
    std::unique_ptr<TForwardStream> Forward;
};

Input OpenInput(const std::string& name, std::int64_t largest) {
    Input input;
    std::unique_ptr<FileStream> file = OpenInputFile(name);
    if (!ReadsInPlace(*file, name)) {
        input.Forward = std::make_unique<TForwardStream>(std::move(file), name, largest);
        return input;
    }
    const std::int64_t size = file->Size();
    if (size < 0) throw platform::FileError(name, "Cannot determine the size of the input");
    if (size > largest)
        throw platform::FileError(
            name, "input larger than " + std::to_string(largest) + " bytes, the largest a codec request can hold");
    input.Size = static_cast<std::int32_t>(size);
    input.File = std::move(file);
    return input;
}

// The refusals that come before anything is read: binary data to a terminal, and an output that
// is the input itself. Returns the exit code, or -1 to go on.
int Refusal(const CodecOptions& options) {
    if (options.Output == "-" && !options.Force && StandardOutputIsTerminal()) {
        ReportError("standard output", "refusing to write binary data to a terminal (use -f to write it anyway)");
        return kExitDataError;
    }
    if (options.Input != "-" && options.Output != "-" && SameFile(options.Input, options.Output)) {
        ReportError(options.Output, "is the input file; refusing to write over it");
        return kExitDataError;
    }
    return -1;
}

std::string FitProblem(StreamFit fit, std::int64_t size) {
    if (fit == StreamFit::EndsFirst) return "stream ends before " + std::to_string(size) + " bytes (-s) are expanded";
    return "stream holds more than " + std::to_string(size) + " bytes (-s)";
}

int RunCodecCommand(const CodecOptions& options, bool expanding, const CLI::App& command) {
    const CompressMethod method = kMethods.at(AsciiLower(options.Method));
    if (expanding && method != cmRLE && options.Size < 0)
        return ReportUsageError(command, "-s SIZE (the expanded size) is required for " + AsciiLower(options.Method));
    if (const int refused = Refusal(options); refused >= 0) return refused;
    int exitCode = kExitOk;
    try {
        Input input = OpenInput(options.Input, expanding ? kLargestRawStream : TForwardStream::kLimit);
        CodecSettings settings;
        settings.Yield = cli::kNoYield;
        // The share of a stream read forward is not known: no progress bar for it.
        Progress progress(stderr, Progress::ShouldShow(options.Quiet) && !input.Forward);
        settings.OnShowProgress = progress.Handler();
        // The raw stream carries no fallback: accept output larger than the input.
        settings.MinimumSaving = std::numeric_limits<std::int32_t>::min();
        progress.Start(options.Input == "-" ? "stdin" : ShownText(options.Input));

        std::unique_ptr<AtomicFile> file;
        std::unique_ptr<TStream> direct;  // standard output
        TStream* dest = nullptr;
        if (options.Output == "-") {
            direct = BinaryStandardOutput();
            dest = direct.get();
        } else {
            file = std::make_unique<AtomicFile>(options.Output);
            dest = &file->Stream();
        }
        TStream& source = input.Forward ? static_cast<TStream&>(*input.Forward) : *input.File;
        std::int64_t written = 0;
        std::uint32_t checksum = 0;
        if (expanding) {
            const auto size = static_cast<std::int32_t>(options.Size);
            const RawExpansion r = input.Forward ? ExpandRawStream(settings, *dest, *input.Forward, method, size)
                                                 : ExpandRawStream(settings, *dest, source, input.Size, method, size);
            progress.Finish();
            written = r.Written;
            checksum = r.Checksum;
            if (r.Fit != StreamFit::Exact) {
                std::string message = FitProblem(r.Fit, options.Size);
                // Standard output, a device or a pipe has taken the bytes already.
                const bool keepsOrDrops = file && !file->WritesInPlace();
                if (keepsOrDrops && options.Partial)
                    message += "; kept " + std::to_string(r.Written) + " bytes (--partial)";
                if (keepsOrDrops && !options.Partial) message += "; nothing written";
                ReportError(options.Input, message);
                exitCode = kExitDataError;
                if (!options.Partial) file.reset();
            }
        } else {
            // A stream read forward gives the engine all it may take; it ends at the stream's end.
            const std::int32_t size = input.Forward ? static_cast<std::int32_t>(TForwardStream::kLimit) : input.Size;
            const CodecResult r = method == cmLH5 && options.Jobs > 1
                                      ? CompressLh5Threaded(settings, *dest, source, size, options.Jobs)
                                      : CompressCodec(settings, *dest, source, size, method);
            progress.Finish();
            // A stream that holds more than the engine took raises here.
            if (input.Forward) static_cast<void>(input.Forward->AtEnd());
            written = r.OutputCount;
            checksum = r.Checksum;
        }
        if (file) file->Commit(true);
        if (options.Verbose) {
            const std::int64_t in = input.Forward ? input.Forward->Position() : input.Size;
            std::cerr << "qvx: " << ShownText(options.Input) << ": " << in << " bytes in, " << written
                      << " bytes out, checksum " << FormatChecksum(checksum) << std::endl;
        }
    } catch (...) {
        return ReportCurrentException(options.Input);
    }
    return exitCode;
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
        cmd->add_option("-s,--size", o->Size,
                        "Expanded size in bytes (required for lzh and lh5): the output is exactly this long")
            ->check(CLI::Range(std::int64_t{0}, std::int64_t{std::numeric_limits<std::int32_t>::max()}));
        cmd->add_flag(
            "--partial", o->Partial,
            "Keep the output when the stream ends before SIZE bytes or holds more (exit code 1 all the same)");
        cmd->add_flag("-f,--force", o->Force, "Write to standard output even when it is a terminal");
        cmd->add_flag("-v,--verbose", o->Verbose, "Print sizes and the checksum to stderr");
        cmd->add_option("IN", o->Input, "Compressed input file, - for standard input")->required();
        cmd->add_option("OUT", o->Output, "Output file, - for standard output")->required();
        registry.Add(cmd, [o, cmd, &global] {
            o->Quiet = global.quiet;
            return RunCodecCommand(*o, true, *cmd);
        });
    }
    {
        auto o = std::make_shared<CodecOptions>();
        o->Method = "lh5";
        CLI::App* cmd = app.add_subcommand("compress", "Compress a file into a raw stream");
        cmd->add_option("-m,--method", o->Method, "Method: lzh or lh5 (default: lh5)")
            ->check(CLI::IsMember({"lzh", "lh5"}, CLI::ignore_case));
        cmd->add_flag("-f,--force", o->Force, "Write to standard output even when it is a terminal");
        cmd->add_option("-j,--jobs", o->Jobs,
                        "LH5: threads searching the stream at once (default 1); the output is the same")
            ->check(CLI::Range(1, 64));
        cmd->add_flag("-v,--verbose", o->Verbose, "Print sizes and the checksum to stderr");
        cmd->add_option("IN", o->Input, "Input file, - for standard input")->required();
        cmd->add_option("OUT", o->Output, "Compressed output file, - for standard output")->required();
        registry.Add(cmd, [o, cmd, &global] {
            o->Quiet = global.quiet;
            return RunCodecCommand(*o, false, *cmd);
        });
    }
}

}  // namespace qvx::cli
