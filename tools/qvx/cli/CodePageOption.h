// The --codepage option of the commands that write or read entry names.
#pragma once

#include <CLI/CLI.hpp>

#include "names/CodePage.h"

namespace qvx::cli {

// Registers --codepage CP on the command, parsed into codePage (which keeps its value when the
// option is not given); a code page the tool does not know is a usage error.
void AddCodePageOption(CLI::App& command, CodePage& codePage);

}  // namespace qvx::cli
