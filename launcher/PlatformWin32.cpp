// The launcher's platform layer on Windows: the system's module file name, temporary file names,
// Windows directory, the shell's "Open" verb with a wait loop, MessageBeep and a task-modal
// message box for the error report.
#ifdef _WIN32

#include <windows.h>
#include <shellapi.h>

#include "MainSequence.h"
#include "Platform.h"

namespace qvx::launcher {

namespace {

constexpr DWORD kWaitSlice = 100;

class Win32Platform final : public Platform {
public:
    std::string ModuleFileName() override {
        char buffer[261] = {};
        ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
        return buffer;
    }

    std::string MakeTempArchiveName() override {
        char dir[255] = {};
        char name[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof dir, dir);
        ::GetTempFileNameA(dir, "QVX", 0, name);
        return name;
    }

    std::string WindowsDirectory() override {
        char buffer[261] = {};
        ::GetWindowsDirectoryA(buffer, 260);
        return buffer;
    }

    char PathDelimiter() const override { return '\\'; }
    bool IsDirectoryDelimiter(char c) const override { return c == '\\' || c == ':'; }

    RunResult RunAndWait(const EngineCommand& command) override {
        RunResult result;
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.hwnd = nullptr;
        info.lpVerb = "Open";
        info.lpFile = command.Program.c_str();
        info.lpParameters = command.Parameters.c_str();
        info.lpDirectory = "";
        info.nShow = command.ShowCommand;
        if (!::ShellExecuteExA(&info)) {
            result.Error = "system error " + std::to_string(::GetLastError());
            return result;
        }
        result.Started = true;
        while (::WaitForSingleObject(info.hProcess, kWaitSlice) == WAIT_TIMEOUT) {
            MSG message;
            ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        DWORD code = 0;
        if (::GetExitCodeProcess(info.hProcess, &code)) result.ExitCode = static_cast<std::int32_t>(code);
        ::TerminateProcess(info.hProcess, 0);
        // The handle stays open: the launcher ends right afterwards.
        return result;
    }

    void Beep() override { ::MessageBeep(0); }

    void RemoveFile(const std::string& path) override { ::DeleteFileA(path.c_str()); }

    void ShowErrorReport(const std::string& title, const std::string& text) override {
        ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }

    std::uintptr_t FailureAddress() override {
        return reinterpret_cast<std::uintptr_t>(&RunLauncher) -
               reinterpret_cast<std::uintptr_t>(::GetModuleHandleA(nullptr));
    }
};

}  // namespace

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace qvx::launcher

#endif  // _WIN32
