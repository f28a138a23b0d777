#include "Cli.h"

namespace qvx::cli {

void RegisterCodecCommands(CLI::App&, CommandRegistry&) {}

}  // namespace qvx::cli
