// cli/: the command line of qvx: CLI11 parsing, help, the manual page, bash completion, progress,
// the error report that turns an exception into one line, and the standard streams. It may use
// setup/, archive/, names/, platform/ and the library; only commands/ and main.cpp use it.
//
// The qvx command line: subcommand groups register themselves on the CLI11 application; every
// command reports failures as one line "qvx: <file>: <message>" and returns the exit code.
// Usage errors name the word at fault and point at the help of the command it was given to
// ("qvx: extract: unknown option '--bogus' (see 'qvx extract --help')") and exit with 2;
// "qvx help [COMMAND]" and "qvx COMMAND --help" print the same help.
#pragma once

#include <CLI/CLI.hpp>

#include "archive/EntrySelection.h"
#include "archive/ToolSettings.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
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

// One group of commands: the words that name it first on a command line ("setup"; "compress" and
// "expand" both name the codec commands) and the function that registers it on the application.
struct CommandGroup {
    std::string_view Word;
    void (*Register)(CLI::App& app, CommandRegistry& registry);
};

// Builds the tool's whole command line on app: the tool's own options, every command of the groups
// (in their order; a group named by several words is registered once) with its options, the help
// command, and the examples each help ends with; --version prints versionLine. The tool and the
// generator of the shell completions and the manual page share it. When only names a command
// ("expand"), that command alone is built, with its examples (a run that names its command needs
// no other).
void BuildCommandLine(CLI::App& app, CommandRegistry& registry, std::span<const CommandGroup> groups,
                      const std::string& versionLine, std::string_view only = {});

// The command as it is typed: "qvx", "qvx extract", "qvx setup build".
std::string CommandPath(const CLI::App& command);
// The help of a command as --help prints it (usage, arguments, options, examples).
std::string HelpText(const CLI::App& command);
// The example command lines shown at the end of a command's help (CommandPath without "qvx ").
const std::vector<std::string>& CommandExamples(const std::string& path);

// How the PATTERN arguments of list, test, cat and extract match entry names, as their help says.
const char* PatternHelpText();

// Reports a usage error about the command, "qvx: <command>: <message> (see '<command> --help')",
// and returns the usage exit code.
int ReportUsageError(const CLI::App& command, const std::string& message);

// Adds the entry selection of a reading command: the PATTERN arguments (after the archive) and
// -x/--exclude.
void AddSelectionOptions(CLI::App& command, SelectionOptions& options, const std::string& what);

// The string with ASCII letters in lower case (method names are accepted in any case).
inline std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Runs the tool with the command groups on argv with its standard streams checked
// (StandardStreams.h); returns the process exit code. versionLine is what --version prints.
int Run(int argc, char** argv, std::span<const CommandGroup> groups, const std::string& versionLine);

}  // namespace qvx::cli
