// The command line itself: usage errors name the word at fault and the help to read, exit 2;
// "qvx help COMMAND" and "qvx COMMAND --help" print the same help, with options and examples.
#include "CliTestSupport.h"

#include <regex>

namespace qvx::cli::test {
namespace {

struct UsageCase {
    std::vector<std::string> Args;
    int Code;
    std::string Err;
};

TEST_F(CliTest, UsageErrorsNameTheWordAndTheHelpToRead) {
    const std::vector<UsageCase> cases = {
        {{}, 2, "qvx: no command given (see 'qvx --help')\n"},
        {{"frob"}, 2, "qvx: unknown command 'frob' (see 'qvx --help')\n"},
        {{"-q", "frob", "list"}, 2, "qvx: unknown command 'frob' (see 'qvx --help')\n"},
        {{"-z", "list"}, 2, "qvx: unknown option '-z' (see 'qvx --help')\n"},
        {{"list", "--bogus", "a"}, 2, "qvx: list: unknown option '--bogus' (see 'qvx list --help')\n"},
        {{"list"}, 2, "qvx: list: missing argument ARCHIVE (see 'qvx list --help')\n"},
        {{"cat", "a.spis"}, 2, "qvx: cat: missing argument PATTERN (see 'qvx cat --help')\n"},
        {{"extract", "a.spis", "-C"}, 2, "qvx: extract: option --directory needs a value (see 'qvx extract --help')\n"},
        {{"extract", "a.spis", "--directory"},
         2,
         "qvx: extract: option --directory needs a value (see 'qvx extract --help')\n"},
        {{"extract", "a.spis", "-fC"},
         2,
         "qvx: extract: option --directory needs a value (see 'qvx extract --help')\n"},
        {{"extract", "a.spis", "-C", "x", "-C"},
         2,
         "qvx: extract: option --directory needs a value (see 'qvx extract --help')\n"},
        {{"list", "a.spis", "-x"}, 2, "qvx: list: option --exclude needs a value (see 'qvx list --help')\n"},
        {{"compress", "a", "b", "c"}, 2, "qvx: compress: unexpected argument 'c' (see 'qvx compress --help')\n"},
        {{"expand", "-m", "lh5", "in", "out"},
         2,
         "qvx: expand: -s SIZE (the expanded size) is required for lh5 (see 'qvx expand --help')\n"},
        {{"setup"}, 2, "qvx: setup: no command given (see 'qvx setup --help')\n"},
        {{"setup", "frob"}, 2, "qvx: setup: unknown command 'frob' (see 'qvx setup --help')\n"},
        {{"setup", "build", "-e", "x", "-o", "y"},
         2,
         "qvx: setup build: missing option --launcher (see 'qvx setup build --help')\n"},
        {{"help", "frob"}, 2, "qvx: unknown command 'frob' (see 'qvx --help')\n"},
        {{"help", "setup", "frob"}, 2, "qvx: setup: unknown command 'frob' (see 'qvx setup --help')\n"},
    };
    for (const UsageCase& c : cases) {
        const RunResult r = Qvx(c.Args);
        std::string joined;
        for (const auto& a : c.Args) joined += a + " ";
        EXPECT_EQ(r.Code, c.Code) << joined;
        EXPECT_EQ(r.Err, c.Err) << joined;
        EXPECT_EQ(r.Out, "") << joined;
    }
}

TEST_F(CliTest, HelpOfEveryCommandShowsOptionsAndExamples) {
    const std::vector<std::string> commands = {"",         "create", "list",  "test",        "cat",        "extract",
                                               "compress", "expand", "setup", "setup build", "setup info", "help"};
    for (const std::string& command : commands) {
        std::vector<std::string> words;
        for (std::size_t i = 0; i < command.size();) {
            const std::size_t j = std::min(command.find(' ', i), command.size());
            words.push_back(command.substr(i, j - i));
            i = j + 1;
        }
        std::vector<std::string> help = {"help"};
        help.insert(help.end(), words.begin(), words.end());
        std::vector<std::string> flag = words;
        flag.push_back("--help");
        const RunResult byCommand = Qvx(help);
        const RunResult byFlag = Qvx(flag);
        const std::string path = command.empty() ? "qvx" : "qvx " + command;
        EXPECT_EQ(byCommand.Code, 0) << path;
        EXPECT_EQ(byFlag.Code, 0) << path;
        EXPECT_EQ(byCommand.Err, "") << path;
        EXPECT_EQ(byCommand.Out, byFlag.Out) << path;
        EXPECT_NE(byCommand.Out.find("Usage: " + path + " "), std::string::npos) << byCommand.Out;
        EXPECT_NE(byCommand.Out.find("Options:\n  -h,--help"), std::string::npos) << byCommand.Out;
        EXPECT_NE(byCommand.Out.find("Examples:\n  " + path), std::string::npos) << byCommand.Out;
    }
    // The commands that select entries explain their patterns.
    for (const char* command : {"list", "test", "cat", "extract"}) {
        const RunResult r = Qvx({"help", command});
        EXPECT_NE(r.Out.find("-x,--exclude PATTERN"), std::string::npos) << command;
        EXPECT_NE(r.Out.find("Patterns: '*' and '?' match within one name"), std::string::npos) << command;
    }
    // The version, and the commit when the build came from a git checkout.
    const RunResult r = Qvx({"--version"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_TRUE(
        std::regex_match(r.Out, std::regex(R"(qvx )" QVX_VERSION_TEXT R"(( \(commit [0-9a-f]{12,40}(-dirty)?\))?\n)")))
        << r.Out;
}

}  // namespace
}  // namespace qvx::cli::test
