// A platform layer for testing the main sequence: real files in test directories, everything else
// recorded.
#pragma once

#include <string>
#include <vector>

#include "Platform.h"

namespace qvx::launcher::test {

class FakePlatform final : public Platform {
public:
    std::string modulePath;
    std::string tempDirectory;   // with a trailing delimiter
    std::string windowsDirectory;
    bool windowsStyle = false;   // "\" and ":" end directory parts instead of "/"
    RunResult runResult{true, 0, {}};
    std::uintptr_t address = 0x1234ABCD;

    int beeps = 0;
    int tempNamesMade = 0;
    std::vector<EngineCommand> runs;
    std::vector<std::string> removed;
    std::vector<std::pair<std::string, std::string>> reports;
    std::vector<std::string> engineBytesAtStart;  // the engine file's contents when it was started

    std::string ModuleFileName() override { return modulePath; }
    std::string MakeTempArchiveName() override;
    std::string WindowsDirectory() override { return windowsDirectory; }
    char PathDelimiter() const override { return windowsStyle ? '\\' : '/'; }
    bool IsDirectoryDelimiter(char c) const override { return windowsStyle ? (c == '\\' || c == ':') : c == '/'; }
    RunResult RunAndWait(const EngineCommand& command) override;
    void Beep() override { ++beeps; }
    void RemoveFile(const std::string& path) override;
    void ShowErrorReport(const std::string& title, const std::string& text) override { reports.emplace_back(title, text); }
    std::uintptr_t FailureAddress() override { return address; }
};

}  // namespace qvx::launcher::test
