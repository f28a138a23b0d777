// qvx setup build: turns a launcher, an installer engine and its data into one setup file.
// qvx setup info: shows the payload a setup file carries.
#include <cstdio>
#include <iostream>
#include <map>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>

#include "Cli.h"
#include "SetupBuilder.h"

namespace qvx::cli {

namespace {

int Fail(const std::string& file, const std::string& message) {
    std::cerr << "qvx: " << file << ": " << message << "\n";
    return kExitDataError;
}

void PrintBlock(const setup::BlockSummary& block, int number) {
    std::cout << "archive " << number << ": " << block.Length << " bytes at offset " << block.Offset;
    if (block.Length >= ArchiveHeader::kSize) std::cout << ", method " << block.MethodId;
    std::cout << ", " << block.Entries.size() << (block.Entries.size() == 1 ? " entry" : " entries") << "\n";
    for (const auto& e : block.Entries) {
        char checksum[16];
        std::snprintf(checksum, sizeof checksum, "%08X", e.Checksum);
        std::cout << "  " << MethodName(e.Method) << "  " << e.ExpandedSize << "  " << e.StoredSize << "  "
                  << checksum << "  " << e.Name << "\n";
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
    build->add_option("-j,--jobs", options->Jobs, "Data entries compressed at once (default: one per processor, at most 8)")
        ->check(CLI::Range(1u, 256u));
    build->add_option("-m,--method", *method, "Compression of the archives written (lh5 or non)")
        ->check(CLI::IsMember({"lh5", "non"}));
    registry.Add(build, [options, method]() {
        options->Method = *method == "non" ? cmNON : cmLH5;
        try {
            setup::BuildSetup(*options);
        } catch (const setup::SetupError& e) {
            return Fail(e.File, e.what());
        } catch (const Exception& e) {
            return Fail(options->Output, e.Message());
        } catch (const std::exception& e) {
            return Fail(options->Output, e.what());
        }
        return static_cast<int>(kExitOk);
    });

    auto file = std::make_shared<std::string>();
    CLI::App* info = setup->add_subcommand("info", "Show the payload of a setup file");
    info->add_option("file", *file, "The setup file")->required();
    registry.Add(info, [file]() {
        try {
            const setup::SetupSummary summary = setup::InspectSetup(*file);
            if (summary.PayloadOffset < 1) {
                std::cout << "no payload\n";
                return static_cast<int>(kExitOk);
            }
            std::cout << "payload offset: " << summary.PayloadOffset << "\n";
            for (std::size_t i = 0; i < summary.Blocks.size(); ++i) PrintBlock(summary.Blocks[i], static_cast<int>(i + 1));
        } catch (const setup::SetupError& e) {
            return Fail(e.File, e.what());
        } catch (const Exception& e) {
            return Fail(*file, e.Message());
        } catch (const std::exception& e) {
            return Fail(*file, e.what());
        }
        return static_cast<int>(kExitOk);
    });
}

}  // namespace qvx::cli
