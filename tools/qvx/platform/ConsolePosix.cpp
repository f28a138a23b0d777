#include "Console.h"

#include <unistd.h>

#include <cerrno>

namespace qvx::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void WriteError(std::string_view utf8) {
    while (!utf8.empty()) {
        const auto n = ::write(2, utf8.data(), utf8.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        utf8.remove_prefix(static_cast<std::size_t>(n));
    }
}

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept = default;
Utf8ConsoleOutput::~Utf8ConsoleOutput() = default;

}  // namespace qvx::platform
