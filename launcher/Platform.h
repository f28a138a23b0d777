// Platform: the few system services the launcher's main sequence needs besides its files
// (LauncherFile.h). PlatformWin32.cpp and PlatformPosix.cpp implement it for the real systems;
// tests put a fake in its place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LauncherFile.h"

namespace qvx::launcher {

// How the engine is started: the program path on its own (unquoted), the parameter string with
// both paths in double quotes (for systems that take a command line), and the same two arguments
// unquoted (for systems that take an argument vector).
struct EngineCommand {
    std::string Program;
    std::string Parameters;
    std::vector<std::string> Arguments;
    int ShowCommand = 1;  // SW_SHOWNORMAL
};

struct RunResult {
    bool Started = false;        // false: the engine could not be started at all
    std::int32_t ExitCode = -1;  // the engine's exit code, -1 when it could not be read
    std::string Error;           // why the start failed
};

class Platform {
public:
    virtual ~Platform() = default;

    // Full path of the running launcher file.
    virtual std::string ModuleFileName() = 0;
    // The directory that receives the staged archive, ending in a delimiter. It may be made for
    // this run (private to the user) and is then removed again by ReleaseTempDirectory.
    virtual std::string TempDirectory() = 0;
    // After a failed run, once the files in it are removed: removes a directory TempDirectory made
    // for the run when it is empty; leaves a shared one alone.
    virtual void ReleaseTempDirectory(const std::string& dir) = 0;
    // Where the numbers of new temporary names start.
    virtual std::uint32_t UniqueSeed() = 0;
    // The directory the engine goes to first, as the system reports it (maybe without a trailing
    // delimiter).
    virtual std::string WindowsDirectory() = 0;
    // The delimiter appended to directories, and the characters that end a path's directory part.
    virtual char PathDelimiter() const = 0;
    virtual bool IsDirectoryDelimiter(char c) const = 0;
    // Starts the engine held open in engine (the file command.Program names), closes engine once
    // the engine has started, and waits for it to end.
    virtual RunResult RunAndWait(const EngineCommand& command, LauncherFile& engine) = 0;
    // The audible signal for "no payload".
    virtual void Beep() = 0;
    // Shows the error report (a task-modal message box on Windows, stderr elsewhere).
    virtual void ShowErrorReport(const std::string& title, const std::string& text) = 0;
    // A code address inside the launcher, relative to the module's base address, for the report.
    virtual std::uintptr_t FailureAddress() = 0;
};

// The platform of the system the launcher was built for.
std::unique_ptr<Platform> CreateSystemPlatform();

}  // namespace qvx::launcher
