// Console: the program's boundary with the system it runs on (ConsolePosix.cpp,
// ConsoleWin32.cpp): the command-line arguments in UTF-8 (on Windows taken as UTF-16 from the
// system, whatever the ANSI code page), text for the user on standard output and standard error
// (on Windows written to a console as UTF-16, so every character shows; UTF-8 bytes to a file or a
// pipe, with CR LF line ends on standard output as the C runtime's text mode writes them), and the
// end of a program whose reader has gone away.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FileStream.h"

namespace qvx::platform {

// The arguments of the program, the program name first, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Writes UTF-8 text to standard output or standard error, all of it; 0 or the error (an errno
// value, FileSystem.h). EPIPE: the reading end of the pipe is closed.
int WriteText(StandardStream which, std::string_view utf8);

// Closes standard output, so that a failure the system reports only at the close shows; 0 or the
// error. Nothing may be written to standard output afterwards.
int CloseStandardOutput();

// Standard input, output and error that the program was started without (closed descriptors)
// are held by a placeholder that fails every read or write, so that no file the program opens
// takes their place and receives what is meant for them (POSIX; nothing to do on Windows).
void HoldMissingStandardStreams();

// A write to a pipe whose reader has gone away fails with EPIPE instead of ending the program at
// once (POSIX: SIGPIPE is ignored; Windows has no such signal), so that temporary files are
// removed as on every other failure.
void ReportClosedPipesAsErrors();
// Ends the program as a program of the system ends when its reader has gone away: killed by
// SIGPIPE on POSIX (the shell sees status 141, and prints nothing); on Windows it returns and the
// caller exits with a failure code.
void EndForClosedPipe();

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
