// A platform layer for testing the main sequence: real files in test directories (through the real
// LauncherFile), everything else recorded.
#pragma once

#include <string>
#include <vector>

#include "Platform.h"

namespace qvx::launcher::test {

class FakePlatform final : public Platform {
public:
    std::string modulePath;
    std::string tempDirectory;  // with a trailing delimiter
    std::string windowsDirectory;
    bool windowsStyle = false;  // "\" and ":" end directory parts instead of "/"
    RunResult runResult{true, 0, {}};
    std::uintptr_t address = 0x1234ABCD;
    std::uint32_t seed = 1;

    int beeps = 0;
    int tempDirectoriesMade = 0;
    std::vector<std::string> released;  // temporary directories released after a failure
    std::vector<EngineCommand> runs;
    std::vector<std::pair<std::string, std::string>> reports;
    std::vector<std::string> engineBytesAtStart;  // what the held engine file held when it was started
    bool engineOpenAtStart = false;

    std::string ModuleFileName() override { return modulePath; }
    std::string TempDirectory() override {
        ++tempDirectoriesMade;
        return tempDirectory;
    }
    void ReleaseTempDirectory(const std::string& dir) override { released.push_back(dir); }
    std::uint32_t UniqueSeed() override { return seed; }
    std::string WindowsDirectory() override { return windowsDirectory; }
    char PathDelimiter() const override { return windowsStyle ? '\\' : '/'; }
    bool IsDirectoryDelimiter(char c) const override { return windowsStyle ? (c == '\\' || c == ':') : c == '/'; }
    RunResult RunAndWait(const EngineCommand& command, LauncherFile& engine) override;
    void Beep() override { ++beeps; }
    void ShowErrorReport(const std::string& title, const std::string& text) override {
        reports.emplace_back(title, text);
    }
    std::uintptr_t FailureAddress() override { return address; }
};

}  // namespace qvx::launcher::test
