#include "Cli.h"

namespace qvx::cli {

void RegisterArchiveCommands(CLI::App&, CommandRegistry&) {}

}  // namespace qvx::cli
