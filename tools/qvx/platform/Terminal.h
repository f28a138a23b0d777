// Whether the standard streams are terminals: the progress bar shows only on a terminal, and
// binary data is not written to one unless asked for.
#pragma once

namespace qvx::cli {

bool StandardOutputIsTerminal() noexcept;
bool StandardErrorIsTerminal() noexcept;

}  // namespace qvx::cli
