// qvx setup build: turns a launcher, an installer engine and its data into one setup file.
// qvx setup info: shows the payload a setup file carries.
// qvx setup test: checks a setup file before it ships.
#include <cstdio>
#include <iostream>
#include <map>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "commands/Commands.h"
#include "commands/ArchiveInput.h"
#include "cli/BrandCommandLine.h"
#include "cli/Cli.h"
#include "cli/CodePageOption.h"
#include "commands/Create.h"
#include "cli/ErrorReport.h"
#include "setup/SetupBuilder.h"
#include "setup/SetupTest.h"
#include "names/ShownText.h"
#include "cli/StandardStreams.h"
#include "platform/Terminal.h"

namespace qvx::cli {

namespace {

int Fail(const std::string& file, const std::string& message) {
    ReportError(file, message);
    return kExitDataError;
}

void PrintBlock(const setup::BlockSummary& block, int number) {
    std::cout << "archive " << number << ": " << block.Length << " bytes at offset " << block.Offset;
    if (block.Length >= ArchiveHeader::kSize) std::cout << ", method " << block.MethodId;
    std::cout << ", " << block.Entries.size() << (block.Entries.size() == 1 ? " entry" : " entries") << "\n";
    for (const auto& e : block.Entries) {
        char checksum[16];
        std::snprintf(checksum, sizeof checksum, "%08X", e.Checksum);
        std::cout << "  " << MethodName(e.Method) << "  " << e.ExpandedSize << "  " << e.StoredSize << "  " << checksum
                  << "  " << ShownName(CodePage::Default(), e.Name) << "\n";
    }
}

}  // namespace

void RegisterSetupCommands(CLI::App& app, CommandRegistry& registry) {
    CLI::App* setup = app.add_subcommand("setup", "Build and inspect setup files");
    setup->require_subcommand(1);

    auto options = std::make_shared<setup::BuildOptions>();
    auto method = std::make_shared<std::string>("lh5");
    CLI::App* build = setup->add_subcommand("build", "Append an engine and its data to a copy of a launcher");
    build->add_option("-l,--launcher", options->Launcher, "The launcher (Setup or Setup.exe)")->required();
    build->add_option("-e,--engine", options->Engine, "The installer engine program")->required();
    CLI::Option* dir = build->add_option("-d,--data-dir", options->DataDirectory, "Directory to archive as the data");
    CLI::Option* archive =
        build->add_option("-a,--data-archive", options->DataArchive, "Archive to carry as the data, as it is");
    dir->excludes(archive);
    build->add_option("-o,--output", options->Output, "The setup file to write")->required();
    build
        ->add_option("-j,--jobs", options->Jobs,
                     "Data entries compressed at once (default: one per processor, at most 8)")
        ->check(CLI::Range(1u, 256u));
    build->add_option("-m,--method", *method, "Compression of the archives written (lh5 or non)")
        ->check(CLI::IsMember({"lh5", "non"}));
    cli::AddCollectOptions(*build,
                           cli::CollectOptions{&options->Names, &options->Links, &options->Utc, &options->MTime});
    build->add_flag("-f,--force", options->Force,
                    "Build with an engine that does not suit the launcher; write to a terminal with -o -");
    auto brand = std::make_shared<BrandArguments>();
    AddBrandOptions(*build, *brand);
    registry.Add(build, [options, method, brand]() {
        options->Method = *method == "non" ? cmNON : cmLH5;
        options->Brand = MakeBrandOptions(*brand);
        options->Warn = [](const std::string& file, const std::string& message) { ReportError(file, message); };
        options->StandardOutput = BinaryStandardOutput;
        if (options->Output == "-" && !options->Force && StandardOutputIsTerminal())
            return Fail("-", "refusing to write a setup file to a terminal (use -f to write it anyway)");
        try {
            setup::BuildSetup(*options);
        } catch (...) {
            // A stream's error names its own file (the engine, a data file), not the output.
            return ReportCurrentException(options->Output);
        }
        return static_cast<int>(kExitOk);
    });

    auto file = std::make_shared<std::string>();
    CLI::App* info = setup->add_subcommand("info", "Show the payload of a setup file");
    info->add_option("file", *file, "The setup file (- reads standard input)")->required();
    registry.Add(info, [file]() {
        try {
            const auto input = OpenSetupInput(*file);
            const setup::SetupSummary summary = setup::InspectSetup(*input, *file);
            if (summary.PayloadOffset < 1) {
                std::cout << "no payload\n";
                return static_cast<int>(kExitOk);
            }
            std::cout << "payload offset: " << summary.PayloadOffset << "\n";
            for (std::size_t i = 0; i < summary.Blocks.size(); ++i)
                PrintBlock(summary.Blocks[i], static_cast<int>(i + 1));
            if (summary.Signed)
                std::cout << "signed: certificate table of " << summary.CertificateTableSize << " bytes at offset "
                          << summary.CertificateTableOffset << "\n";
            std::cout << setup::DescribeResources(setup::ReadResourcesOf(*input, *file));
        } catch (...) {
            return ReportCurrentException(*file);
        }
        return static_cast<int>(kExitOk);
    });

    auto tested = std::make_shared<std::string>();
    auto testedNames = std::make_shared<CodePage>(CodePage::Default());
    CLI::App* test = setup->add_subcommand(
        "test",
        "Check a setup file: payload framing, every entry of both archives, the data's names, the engine, "
        "the signature's place");
    test->add_option("file", *tested, "The setup file (- reads standard input)")->required();
    AddCodePageOption(*test, *testedNames);
    registry.Add(test, [tested, testedNames]() {
        try {
            const auto input = OpenSetupInput(*tested);
            setup::TestSetup(
                *input, *tested, std::cout, [&](const std::string& warning) { Fail(*tested, warning); }, *testedNames);
        } catch (...) {
            std::cout.flush();
            return ReportCurrentException(*tested);
        }
        return static_cast<int>(kExitOk);
    });
}

}  // namespace qvx::cli
