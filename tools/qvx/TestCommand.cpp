// qvx test: expands every entry of an archive to nowhere and verifies the checksums.
#include <iostream>
#include <memory>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "ArchiveInput.h"
#include "Cli.h"
#include "ErrorReport.h"
#include "Progress.h"

namespace qvx::cli {

namespace {

struct TestOptions {
    ArchiveInputOptions Input;
    bool Quiet = false;
};

// Expands every entry to nowhere; a failed entry is reported and the walk goes on behind it.
int RunTest(const TestOptions& options) {
    std::size_t tested = 0;
    std::size_t failed = 0;
    try {
        TQuorvexCompress component;
        component.SetYield(cli::kNoYield);
        Progress progress(stderr, Progress::ShouldShow(options.Quiet));
        component.SetOnShowProgress(progress.Handler());
        const auto archive = OpenArchiveInput(options.Input);
        ArchiveWalker walker(component, *archive);
        std::int64_t sum = 0;
        ArchiveEntry entry;
        while (walker.Next(entry)) {
            ++tested;
            sum += entry.Header.ExpandedSize;
            TNullStream nowhere;
            progress.Start(entry.Name);
            try {
                walker.Expand(entry, nowhere);
                progress.Finish();
                std::cout << "OK      " << entry.Name << '\n';
            } catch (...) {
                progress.Finish();
                ++failed;
                std::cout << "FAILED  " << entry.Name << '\n' << std::flush;
                ReportCurrentException(options.Input.Path + ": " + entry.Name);
                walker.SeekPastEntry(entry);
            }
        }
        if (sum < walker.Header().TotalSize) {
            ++failed;
            ReportError(options.Input.Path, "archive is truncated: its entries hold " + std::to_string(sum) +
                                             " of " + std::to_string(walker.Header().TotalSize) + " bytes");
        }
    } catch (...) {
        std::cout.flush();
        return ReportCurrentException(options.Input.Path);
    }
    if (failed == 0)
        std::cout << "All " << tested << (tested == 1 ? " entry" : " entries") << " OK\n";
    else
        std::cout << failed << " of " << tested << (tested == 1 ? " entry" : " entries") << " failed\n";
    std::cout.flush();
    return failed == 0 ? kExitOk : kExitDataError;
}

}  // namespace

void RegisterTestCommand(CLI::App& app, CommandRegistry& registry) {
    const GlobalOptions& global = registry.options;
    auto o = std::make_shared<TestOptions>();
    CLI::App* cmd = app.add_subcommand("test", "Expand every entry to nowhere and verify its checksum");
    AddArchiveInputOptions(*cmd, o->Input);
    registry.Add(cmd, [o, &global] {
        o->Quiet = global.quiet;
        return RunTest(*o);
    });
}

}  // namespace qvx::cli
