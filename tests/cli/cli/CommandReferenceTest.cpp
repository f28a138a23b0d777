// The bash completion and the manual page are generated from the command tables: the completion
// offers what the tool accepts, and the manual page documents every command and option.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CommandReference.h"
#include "commands/Commands.h"

namespace qvx::cli {
namespace {

namespace fs = std::filesystem;

class CommandReferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildCommandLine(app_, registry_, CommandGroups(), "qvx 9.8.7");
        commands_ = DescribeCommands(app_);
        dir_ = fs::temp_directory_path() / ("qvx-reference-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "work" / "sub");
        std::ofstream(dir_ / "work" / "a.spis") << "x";
        std::ofstream(dir_ / "qvx.bash") << BashCompletion(commands_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // What the completion offers for the words typed so far (the last one being completed), in
    // the order bash gives them, one per line.
    std::string Complete(const std::string& words) const {
        const fs::path out = dir_ / "reply";
        const std::string script = "cd '" + (dir_ / "work").string() + "' && source ../qvx.bash && COMP_WORDS=(" +
                                   words + ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _qvx && " +
                                   "printf '%s\\n' \"${COMPREPLY[@]}\"";
        const std::string command =
            "bash -c \"$(cat <<'QVX_END'\n" + script + "\nQVX_END\n)\" > '" + out.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << words;
        std::ifstream in(out);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    CLI::App app_{"", "qvx"};
    CommandRegistry registry_;
    std::vector<CommandReference> commands_;
    fs::path dir_;
};

TEST_F(CommandReferenceTest, BashCompletesCommandsOptionsAndValues) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"qvx ex", "extract\nexpand\n"},
        {"qvx -q li", "list\n"},
        {"qvx extract --f", "--force\n"},
        {"qvx expand -m l", "lzh\nlh5\n"},
        {"qvx create -m L", "\n"},
        {"qvx setup ''", "build\ninfo\ntest\n"},
        {"qvx setup build --da", "--data-dir\n--data-archive\n"},
        {"qvx help setup i", "info\n"},
        {"qvx help c", "create\ncat\ncompress\n"},
        {"qvx list a.spis -x ''", "\n"},
        {"qvx extract -C s", "sub\n"},
        {"qvx test a", "a.spis\n"},
        {"qvx list extract a", "a.spis\n"},  // an archive named like a command is no command
    };
    for (const auto& [words, reply] : cases) EXPECT_EQ(Complete(words), reply) << words;
}

TEST_F(CommandReferenceTest, ManualPageDocumentsEveryCommandAndOption) {
    const std::string page = ManPage(commands_, "9.9");
    EXPECT_EQ(page.find(".TH QVX 1 \"\" \"qvx 9.9\""), page.find(".TH"));
    for (const CommandReference& c : commands_) {
        if (c.Path != "qvx") {
            EXPECT_NE(page.find(".SS \"" + c.Path), std::string::npos) << c.Path;
        }
        for (const OptionReference& o : c.Options) {
            std::string name = o.Names.back();
            std::string escaped;
            for (char ch : name) escaped += ch == '-' ? std::string("\\-") : std::string(1, ch);
            EXPECT_NE(page.find(escaped), std::string::npos) << c.Path << " " << name;
        }
        for (const std::string& e : c.Examples) {
            std::string escaped;
            for (char ch : e) escaped += ch == '-' ? std::string("\\-") : std::string(1, ch);
            EXPECT_NE(page.find(escaped), std::string::npos) << e;
        }
    }
    EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos);
    // groff, where there is one, reads the page without a warning.
    if (std::system("command -v groff >/dev/null 2>&1") == 0) {
        std::ofstream(dir_ / "qvx.1") << page;
        const std::string check =
            "groff -man -Tutf8 -ww -z '" + (dir_ / "qvx.1").string() + "' 2>'" + (dir_ / "groff.err").string() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0);
        std::ifstream err(dir_ / "groff.err");
        std::stringstream s;
        s << err.rdbuf();
        EXPECT_EQ(s.str(), "");
    }
}

}  // namespace
}  // namespace qvx::cli
