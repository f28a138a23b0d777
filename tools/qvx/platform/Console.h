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

}  // namespace qvx::platform
