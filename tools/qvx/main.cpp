#include <string>
#include <vector>

#include "cli/BuildInfo.h"
#include "cli/Cli.h"
#include "commands/Commands.h"
#include "platform/Console.h"
#include "platform/TemporaryFiles.h"

int main(int argc, char** argv) {
    // On Windows the arguments come from the system as UTF-16, not in the ANSI code page.
    const qvx::platform::Utf8ConsoleOutput console;
    // An interrupt removes the temporary files of the command in progress.
    const qvx::platform::TemporaryFiles temporaries;
    std::vector<std::string> arguments = qvx::platform::CommandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return qvx::cli::Run(static_cast<int>(arguments.size()), pointers.data(), qvx::cli::CommandGroups(),
                         qvx::cli::VersionLine());
}
