#include "Cli.h"

namespace qvx::cli {

void RegisterSetupCommands(CLI::App&, CommandRegistry&) {}

}  // namespace qvx::cli
