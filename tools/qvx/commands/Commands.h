// The commands of qvx: the top of the tool and the only folder that knows all the others. Each
// file carries out one command group (create; list; test; cat; extract; compress and expand;
// setup build, info and test): it registers its options on the command line (cli/), opens its
// input, does its work with the archive, setup and name helpers (archive/, setup/, names/) on the
// platform's files (platform/), and reports every failure as one line. The reading commands share
// the archive input (ArchiveInput.h) and one walk over the selected entries (SelectedEntries.h);
// create and setup build share one archive writer (archive/SourceArchive.h). The command line
// itself knows no command: main.cpp hands it the table below.
#pragma once

#include <span>

#include <CLI/CLI.hpp>

#include "cli/Cli.h"

namespace qvx::cli {

// The commands, each registered by the file that carries it out.
void RegisterCreateCommand(CLI::App& app, CommandRegistry& registry);   // Create.cpp
void RegisterListCommand(CLI::App& app, CommandRegistry& registry);     // ListCommand.cpp
void RegisterTestCommand(CLI::App& app, CommandRegistry& registry);     // TestCommand.cpp
void RegisterCatCommand(CLI::App& app, CommandRegistry& registry);      // CatCommand.cpp
void RegisterExtractCommand(CLI::App& app, CommandRegistry& registry);  // Extract.cpp
void RegisterCodecCommands(CLI::App& app, CommandRegistry& registry);   // compress, expand
void RegisterSetupCommands(CLI::App& app, CommandRegistry& registry);   // setup build, setup info

// Every command group of the tool, by the word that names it, in the order help lists them.
std::span<const CommandGroup> CommandGroups() noexcept;

}  // namespace qvx::cli
