// The qvx command line: subcommand groups register themselves on the CLI11 application; every
// command reports failures as one line "qvx: <file>: <message>" and returns the exit code.
#pragma once

#include <CLI/CLI.hpp>

#include "ToolSettings.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qvx::cli {

enum ExitCode : int { kExitOk = 0, kExitDataError = 1, kExitUsage = 2 };

// Options every command shares.
struct GlobalOptions {
    bool quiet = false;  // no progress display
};

// A registered command stores its action here; main runs the one CLI11 parsed.
using CommandAction = std::function<int()>;

struct CommandRegistry {
    GlobalOptions options;
    std::vector<std::pair<CLI::App*, CommandAction>> actions;
    void Add(CLI::App* command, CommandAction action) { actions.emplace_back(command, std::move(action)); }
};

// The commands, each registered by the file that carries it out.
void RegisterCreateCommand(CLI::App& app, CommandRegistry& registry);    // Create.cpp
void RegisterListCommand(CLI::App& app, CommandRegistry& registry);      // ListCommand.cpp
void RegisterTestCommand(CLI::App& app, CommandRegistry& registry);      // TestCommand.cpp
void RegisterCatCommand(CLI::App& app, CommandRegistry& registry);       // CatCommand.cpp
void RegisterExtractCommand(CLI::App& app, CommandRegistry& registry);   // Extract.cpp
void RegisterCodecCommands(CLI::App& app, CommandRegistry& registry);    // compress, expand
void RegisterSetupCommands(CLI::App& app, CommandRegistry& registry);    // setup build, setup info

// The string with ASCII letters in lower case (method names are accepted in any case).
inline std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Runs the tool on argv; returns the process exit code.
int Run(int argc, char** argv);

}  // namespace qvx::cli
