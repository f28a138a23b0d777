#include "Cli.h"

#include <iostream>

#include "ErrorReport.h"

namespace qvx::cli {

int Run(int argc, char** argv) {
    CLI::App app{"qvx: create, inspect and expand SPIS archives; run the raw codecs; build setup files", "qvx"};
    app.set_version_flag("--version", std::string("qvx ") + QVX_VERSION);
    app.require_subcommand(1);
    // Options of the tool itself (-q) may also follow the subcommand.
    app.fallthrough();
    CommandRegistry registry;
    app.add_flag("-q,--quiet", registry.options.quiet, "Show no progress");

    RegisterCreateCommand(app, registry);
    RegisterListCommand(app, registry);
    RegisterTestCommand(app, registry);
    RegisterCatCommand(app, registry);
    RegisterExtractCommand(app, registry);
    RegisterCodecCommands(app, registry);
    RegisterSetupCommands(app, registry);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end parsing with a success code and print to stdout.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e);
            return kExitOk;
        }
        ReportError("", std::string(e.what()) + " (see qvx --help)");
        return kExitUsage;
    }
    for (auto& [command, action] : registry.actions) {
        if (command->parsed()) return action();
    }
    return kExitUsage;
}

}  // namespace qvx::cli
