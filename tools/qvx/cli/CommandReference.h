// CommandReference: the command line of qvx as plain data (commands, their options and arguments,
// what each value is, the examples), read from the CLI11 tables the tool parses with. The shell
// completion and the manual page are generated from it, so they always match the tool.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace qvx::cli {

// What the shell completes for a value.
enum class ValueKind { None, File, Directory, Number, Choice, Command };

struct OptionReference {
    std::vector<std::string> Names;  // "-C", "--directory"; an argument's one name ("ARCHIVE")
    bool Positional = false;
    bool Required = false;
    ValueKind Value = ValueKind::None;  // None: a flag
    std::string ValueName;              // "DIR", "PATTERN", "N", "METHOD"; empty for a flag
    std::vector<std::string> Choices;   // for ValueKind::Choice
    std::string Description;
};

struct CommandReference {
    std::string Path;   // "qvx", "qvx setup build"
    std::string Usage;  // "qvx extract [OPTIONS] ARCHIVE [PATTERN...]"
    std::string Description;
    std::vector<OptionReference> Options;  // options and arguments, in the help's order
    std::vector<std::string> Subcommands;  // names of the commands below this one
    std::vector<std::string> Examples;
};

// Every command, the tool itself first, then depth first in the order of the help.
std::vector<CommandReference> DescribeCommands(const CLI::App& app);

// A bash completion script for the commands (a function _qvx, bound with complete -F).
std::string BashCompletion(const std::vector<CommandReference>& commands);

// The manual page qvx(1), in man(7) roff.
std::string ManPage(const std::vector<CommandReference>& commands, const std::string& version);

}  // namespace qvx::cli
