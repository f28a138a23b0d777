#include "Cli.h"

#include <iostream>

namespace qvx::cli {

int Run(int argc, char** argv) {
    CLI::App app{"qvx: create, inspect and expand SPIS archives; run the raw codecs; build setup files", "qvx"};
    app.set_version_flag("--version", std::string("qvx ") + QVX_VERSION);
    app.require_subcommand(1);
    CommandRegistry registry;
    app.add_flag("-q,--quiet", registry.options.quiet, "Show no progress");

    RegisterArchiveCommands(app, registry);
    RegisterCodecCommands(app, registry);
    RegisterSetupCommands(app, registry);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    for (auto& [command, action] : registry.actions) {
        if (command->parsed()) return action();
    }
    return kExitUsage;
}

}  // namespace qvx::cli
