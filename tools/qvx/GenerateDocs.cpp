// qvx_docgen DIR: writes the bash completion (qvx.bash) and the manual page (qvx.1) of qvx into
// DIR, generated from the same command tables the tool parses with.
#include <fstream>
#include <iostream>

#include "cli/Cli.h"
#include "cli/CommandReference.h"
#include "commands/Commands.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qvx_docgen DIR\n";
        return 2;
    }
    CLI::App app{"", "qvx"};
    qvx::cli::CommandRegistry registry;
    qvx::cli::BuildCommandLine(app, registry, qvx::cli::CommandGroups(), std::string("qvx ") + QVX_VERSION);
    const auto commands = qvx::cli::DescribeCommands(app);
    const std::string dir = argv[1];
    for (const auto& [name, text] : {std::pair{std::string("qvx.bash"), qvx::cli::BashCompletion(commands)},
                                     std::pair{std::string("qvx.1"), qvx::cli::ManPage(commands, QVX_VERSION)}}) {
        std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::cerr << "qvx_docgen: " << dir << "/" << name << ": cannot write\n";
            return 1;
        }
    }
    return 0;
}
