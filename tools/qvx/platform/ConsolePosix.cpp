#include "Console.h"

#include <fcntl.h>
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

void HoldMissingStandardStreams() {
    // /dev/null opened the other way round: reading standard output or writing standard input
    // fails (EBADF), as it would with the descriptor closed.
    static constexpr int kModes[] = {O_WRONLY, O_RDONLY, O_RDONLY};
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = ::open("/dev/null", kModes[fd]);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

void ReportClosedPipesAsErrors() { std::signal(SIGPIPE, SIG_IGN); }

void EndForClosedPipe() {
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
}

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept = default;
Utf8ConsoleOutput::~Utf8ConsoleOutput() = default;

}  // namespace qvx::platform
