// Console: the program's boundary with the system it runs on (ConsolePosix.cpp,
// ConsoleWin32.cpp): the command-line arguments in UTF-8 (on Windows taken as UTF-16 from the
// system, whatever the ANSI code page) and lines of text for the user on stderr (on Windows
// written to a console as UTF-16, so every character shows; UTF-8 bytes to a file or a pipe).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvx::platform {

// The arguments of the program, the program name first, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Writes UTF-8 text to stderr as it is, unbuffered.
void WriteError(std::string_view utf8);

// While it lives, what the program prints to standard output shows as UTF-8 (Windows: the
// console's output code page is UTF-8, the old one back at the end; nothing to do on POSIX).
class Utf8ConsoleOutput {
public:
    Utf8ConsoleOutput() noexcept;
    ~Utf8ConsoleOutput();
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

private:
    [[maybe_unused]] unsigned previous_ = 0;  // the console output code page to restore (Windows)
};

}  // namespace qvx::platform
