#include "Console.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qvx::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

int WriteText(StandardStream which, std::string_view utf8) {
    const int fd = static_cast<int>(which);
    while (!utf8.empty()) {
        const auto n = ::write(fd, utf8.data(), utf8.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        utf8.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int CloseStandardOutput() { return ::close(1) == 0 || errno == EINTR ? 0 : errno; }

void ReportClosedPipesAsErrors() { std::signal(SIGPIPE, SIG_IGN); }

void EndForClosedPipe() {
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
}

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept = default;
Utf8ConsoleOutput::~Utf8ConsoleOutput() = default;

}  // namespace qvx::platform
