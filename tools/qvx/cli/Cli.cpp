#include "cli/Cli.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>

#include "cli/ErrorReport.h"
#include "cli/StandardStreams.h"

namespace qvx::cli {

namespace {

// Example command lines of each command, by the command's path without "qvx".
const std::map<std::string, std::vector<std::string>>& ExampleTable() {
    static const std::map<std::string, std::vector<std::string>> table = {
        {"",
         {"qvx create app.spis readme.txt docs", "qvx list app.spis", "qvx extract -C out app.spis 'docs/*.txt'",
          "qvx help extract"}},
        {"create", {"qvx create app.spis readme.txt docs", "qvx create -m lzh -C build app.spis ."}},
        {"list", {"qvx list app.spis", "qvx list --json app.spis 'docs/' -x '*.bak'"}},
        {"test", {"qvx test app.spis", "qvx -q test app.spis 'Installer/*'"}},
        {"cat", {"qvx cat app.spis readme.txt", "qvx cat app.spis 'docs/*.txt' | less"}},
        {"extract", {"qvx extract app.spis", "qvx extract -C out app.spis docs/ -x '*.bak'"}},
        {"compress", {"qvx compress big.txt big.lh5", "qvx compress -m lzh - big.lzh < big.txt"}},
        {"expand", {"qvx expand -m lh5 -s 70000 big.lh5 big.txt", "qvx expand -m rle runs.rle - | od -c"}},
        {"setup", {"qvx setup build -l Setup.exe -e Quorvex.exe -d data -o MySetup.exe", "qvx setup info MySetup.exe"}},
        {"setup build",
         {"qvx setup build -l Setup.exe -e Quorvex.exe -d data -o MySetup.exe",
          "qvx setup build -l Setup.exe -e Quorvex.exe -a data.spis -o MySetup.exe",
          "qvx setup build -l Setup.exe -e Quorvex.exe -d data -o MySetup.exe --icon app.ico --version 2.3.4.5 "
          "--company 'Example Ltd' --execution-level asInvoker"}},
        {"setup info", {"qvx setup info MySetup.exe"}},
        {"help", {"qvx help", "qvx help setup build"}},
    };
    return table;
}

// How the PATTERN arguments of the reading commands match entry names (EntrySelection.h).
constexpr const char* kPatternHelp =
    "Patterns: '*' and '?' match within one name, '**' across directories, '[...]' one character of\n"
    "a set ('[!...]' of the others); '/' and '\\' both separate directories; letters match in either\n"
    "case. A pattern that names a directory selects everything below it. Quote wildcards so that\n"
    "the shell leaves them alone.";

std::string ExamplesFooter(const std::vector<std::string>& examples) {
    std::string text = "Examples:";
    for (const std::string& e : examples) text += "\n  " + e;
    return text;
}

// The path without the leading "qvx" ("" for the tool itself).
std::string RelativePath(const CLI::App& command) {
    const std::string path = CommandPath(command);
    return path.size() > 4 ? path.substr(4) : std::string();
}

const CLI::App* FindSubcommand(const CLI::App& command, const std::string& name) {
    for (const CLI::App* sub : command.get_subcommands([](const CLI::App*) { return true; }))
        if (sub->check_name(name)) return sub;
    return nullptr;
}

bool HasSubcommands(const CLI::App& command) {
    return !command.get_subcommands([](const CLI::App*) { return true; }).empty();
}

// The command CLI11 was working on: the innermost one that was given.
const CLI::App& InnermostGiven(const CLI::App& app) {
    const CLI::App* command = &app;
    for (;;) {
        const auto given = command->get_subcommands();
        if (given.empty()) return *command;
        command = given.front();
    }
}

// An option of the command or of a command it is given under (options fall through to parents).
bool KnownOption(const CLI::App& command, const std::string& word) {
    std::string name = word.substr(0, word.find('='));
    for (const CLI::App* c = &command; c != nullptr; c = c->get_parent())
        if (c->get_option_no_throw(name) != nullptr) return true;
    return false;
}

// Follows the command words of argv down the command tree (only commands with subcommands take
// command words, and their own options take no values); reports the first word that is neither a
// command nor an option there. Returns true when argv passes.
bool CheckCommandWords(const CLI::App& app, int argc, char** argv, int* exitCode) {
    const CLI::App* level = &app;
    for (int i = 1; i < argc && HasSubcommands(*level); ++i) {
        const std::string word = argv[i];
        if (word == "--") continue;
        if (word.size() > 1 && word[0] == '-') {
            if (KnownOption(*level, word)) continue;
            *exitCode = ReportUsageError(*level, "unknown option '" + word + "'");
            return false;
        }
        const CLI::App* sub = FindSubcommand(*level, word);
        if (sub == nullptr) {
            *exitCode = ReportUsageError(*level, "unknown command '" + word + "'");
            return false;
        }
        level = sub;
    }
    return true;
}

std::string MissingArgumentMessage(const CLI::App& command) {
    if (command.get_require_subcommand_min() > 0 && command.get_subcommands().empty()) return "no command given";
    for (const CLI::Option* opt : command.get_options()) {
        if (!opt->get_required() || opt->count() > 0) continue;
        if (opt->get_positional()) return "missing argument " + opt->get_name(true);
        return "missing option " + (opt->get_lnames().empty() ? opt->get_name() : "--" + opt->get_lnames().front());
    }
    return {};
}

// The option that word names when it takes a value, of the command or a command above it:
// "--directory", "-C", or short options run together ("-qC", where the last one takes the value).
const CLI::Option* ValueOptionNamedBy(const CLI::App& command, const std::string& word) {
    std::string name;
    if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
        if (word.find('=') != std::string::npos) return nullptr;  // the value is in the word
        name = word;
    } else if (word.size() >= 2 && word[0] == '-' && word[1] != '-') {
        name = std::string("-") + word.back();
    } else {
        return nullptr;
    }
    for (const CLI::App* c = &command; c != nullptr; c = c->get_parent()) {
        const CLI::Option* opt = c->get_option_no_throw(name);
        if (opt != nullptr) return opt->get_items_expected_min() > 0 ? opt : nullptr;
    }
    return nullptr;
}

// lastWord: the last word of the command line (empty when there is none).
int ReportParseError(const CLI::App& app, const CLI::ParseError& e, const std::string& lastWord) {
    const CLI::App& command = InnermostGiven(app);
    std::string message;
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        const auto extras = app.remaining(true);
        if (!extras.empty()) {
            const std::string& word = extras.front();
            const bool option = word.size() > 1 && word[0] == '-';
            message = (option ? "unknown option '" : "unexpected argument '") + word + "'";
        }
    } else if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        message = MissingArgumentMessage(command);
    } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        // The parser runs out of words while an option still wants its value only when that
        // option is the last word.
        if (const CLI::Option* opt = ValueOptionNamedBy(command, lastWord))
            message = "option " + opt->get_name() + " needs a value";
    }
    if (message.empty()) message = e.what();
    return ReportUsageError(command, message);
}

void AddHelpCommand(CLI::App& app, CommandRegistry& registry) {
    auto words = std::make_shared<std::vector<std::string>>();
    CLI::App* help = app.add_subcommand("help", "Show the help of qvx or of one of its commands");
    help->add_option("COMMAND", *words, "The command, as typed after qvx (for example: setup build)");
    const CLI::App* root = &app;
    registry.Add(help, [words, root] {
        const CLI::App* command = root;
        for (const std::string& word : *words) {
            const CLI::App* sub = HasSubcommands(*command) ? FindSubcommand(*command, word) : nullptr;
            if (sub == nullptr) return ReportUsageError(*command, "unknown command '" + word + "'");
            command = sub;
        }
        std::cout << HelpText(*command) << std::flush;
        return static_cast<int>(kExitOk);
    });
}

// Every command's help ends with its examples.
void AddExamples(CLI::App& command) {
    const auto& table = ExampleTable();
    const auto it = table.find(RelativePath(command));
    if (it != table.end()) {
        std::string footer = ExamplesFooter(it->second);
        if (command.get_option_no_throw("PATTERN") != nullptr) footer = std::string(kPatternHelp) + "\n\n" + footer;
        if (HasSubcommands(command)) {
            const std::string relative = RelativePath(command);
            footer = "Run 'qvx help " + (relative.empty() ? std::string() : relative + " ") +
                     "COMMAND' for the options and examples of a command.\n\n" + footer;
        }
        command.footer(footer);
    }
    for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) AddExamples(*sub);
}

}  // namespace

std::string CommandPath(const CLI::App& command) {
    std::string path = command.get_name();
    for (const CLI::App* p = command.get_parent(); p != nullptr; p = p->get_parent()) path = p->get_name() + " " + path;
    return path;
}

std::string HelpText(const CLI::App& command) {
    // The formatter itself: App::help would show the help of the command given below this one.
    return command.get_formatter()->make_help(&command, CommandPath(command), CLI::AppFormatMode::Normal);
}

const std::vector<std::string>& CommandExamples(const std::string& path) {
    static const std::vector<std::string> none;
    const auto& table = ExampleTable();
    const auto it = table.find(path);
    return it == table.end() ? none : it->second;
}

const char* PatternHelpText() { return kPatternHelp; }

int ReportUsageError(const CLI::App& command, const std::string& message) {
    const std::string path = CommandPath(command);
    const std::string relative = RelativePath(command);
    ReportError(relative, message + " (see '" + path + " --help')");
    return kExitUsage;
}

void AddSelectionOptions(CLI::App& command, SelectionOptions& options, const std::string& what) {
    command.add_option("PATTERN", options.Patterns, what + "; names or wildcards (see Patterns)");
    command.add_option("-x,--exclude", options.Exclude, "Leave out the entries PATTERN matches (may be repeated)")
        ->allow_extra_args(false)
        ->type_name("PATTERN");
}

void BuildCommandLine(CLI::App& app, CommandRegistry& registry, std::span<const CommandGroup> groups,
                      const std::string& versionLine, std::string_view only) {
    // The same options everywhere: on Windows too "/x" is a path (a drive's root or an absolute
    // path under Wine), never an option. Set before the commands are added, which inherit it.
    app.allow_windows_style_options(false);
    // The commands share the application's formatter.
    auto formatter = app.get_formatter();
    formatter->label("Positionals", "Arguments");
    formatter->label("Subcommands", "Commands");
    formatter->label("SUBCOMMAND", "COMMAND");
    formatter->column_width(30);
    app.description("Create, inspect and expand SPIS archives; run the raw codecs; build setup files");
    app.set_version_flag("--version", versionLine);
    app.require_subcommand(1);
    // Options of the tool itself (-q) may also follow the command.
    app.fallthrough();
    app.add_flag("-q,--quiet", registry.options.quiet, "Show no progress");

    // Building a command's options is most of a short run's start-up: a run that names its command
    // builds that one only; help, usage errors and the generated documents see every command.
    for (const CommandGroup& group : groups) {
        if (group.Word == only) {
            group.Register(app, registry);
            AddExamples(app);
            return;
        }
    }
    for (auto group = groups.begin(); group != groups.end(); ++group) {
        const auto same = [&group](const CommandGroup& earlier) { return earlier.Register == group->Register; };
        if (std::none_of(groups.begin(), group, same)) group->Register(app, registry);
    }
    AddHelpCommand(app, registry);
    AddExamples(app);
}

namespace {

std::string_view CommandWord(int argc, char** argv) {
    // The options of qvx itself (-q, --version, --help) take no values, so the first word that is
    // not an option is the command.
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--") return i + 1 < argc ? std::string_view(argv[i + 1]) : std::string_view();
        if (word.size() > 1 && word[0] == '-') continue;
        return word;
    }
    return {};
}

int RunCommandLine(int argc, char** argv, std::span<const CommandGroup> groups, const std::string& versionLine) {
    CLI::App app{"", "qvx"};
    CommandRegistry registry;
    BuildCommandLine(app, registry, groups, versionLine, CommandWord(argc, argv));

    int exitCode = kExitOk;
    if (!CheckCommandWords(app, argc, argv, &exitCode)) return exitCode;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << HelpText(InnermostGiven(app)) << std::flush;
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        // --version ends parsing with a success code and prints to stdout.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e);
            return kExitOk;
        }
        return ReportParseError(app, e, argc > 1 ? std::string(argv[argc - 1]) : std::string());
    }
    for (auto& [command, action] : registry.actions) {
        if (command->parsed()) return action();
    }
    return ReportUsageError(app, "no command given");
}

}  // namespace

int Run(int argc, char** argv, std::span<const CommandGroup> groups, const std::string& versionLine) {
    StandardStreams streams;
    return streams.Finish(RunCommandLine(argc, argv, groups, versionLine));
}

}  // namespace qvx::cli
