#include "Terminal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qvx::cli {

namespace {

bool IsTerminal(int fd) noexcept {
#ifdef _WIN32
    return ::_isatty(fd) != 0;
#else
    return ::isatty(fd) == 1;
#endif
}

}  // namespace

bool StandardOutputIsTerminal() noexcept { return IsTerminal(1); }
bool StandardErrorIsTerminal() noexcept { return IsTerminal(2); }

}  // namespace qvx::cli
