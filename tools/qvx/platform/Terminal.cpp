#include "platform/Terminal.h"

#include "platform/FileStream.h"

namespace qvx::cli {

bool StandardOutputIsTerminal() noexcept { return platform::IsTerminal(platform::StandardStream::Output); }
bool StandardErrorIsTerminal() noexcept { return platform::IsTerminal(platform::StandardStream::Error); }

}  // namespace qvx::cli
