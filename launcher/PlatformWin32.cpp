// The launcher's platform layer on Windows: the module file name, the temporary and Windows
// directories, the shell's "Open" verb with a wait loop, MessageBeep and a task-modal message box
// for the error report. Every name and text goes through the wide (UTF-16) functions, held as
// WTF-8 in between (WideText.h), so nothing is mapped to the ANSI code page: a name it cannot hold
// still names exactly its own file, and a text it can hold reads as before.
#ifdef _WIN32

#include <windows.h>
#include <shellapi.h>

#include "MainSequence.h"
#include "Platform.h"
#include "WideText.h"

namespace qvx::launcher {

namespace {

constexpr DWORD kWaitSlice = 100;
// The longest name the wide functions take.
constexpr DWORD kLongestName = 32768;

// UTF-16 text for the wide functions (wchar_t is 16 bits on Windows).
const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

enum class Name { Module, Temp, Windows };

// A name the system hands out, in a buffer grown until it fits (up to the longest name the wide
// functions take). Each function returns the length it stored, or the size it needs or (the module
// file name) the buffer's size when the name was cut.
std::string SystemName(Name which) {
    std::u16string buffer(MAX_PATH + 1, u'\0');
    for (;;) {
        auto* b = reinterpret_cast<wchar_t*>(buffer.data());
        const auto size = static_cast<DWORD>(buffer.size());
        const DWORD n = which == Name::Module ? ::GetModuleFileNameW(nullptr, b, size)
                        : which == Name::Temp ? ::GetTempPathW(size, b)
                                              : ::GetWindowsDirectoryW(b, size);
        if (n == 0) return {};
        if (n < size - 1) return TextFromWide(std::u16string_view(buffer.data(), n));
        if (size > kLongestName) return {};
        buffer.assign(n + 1 > 2 * size ? n + 1 : 2 * size, u'\0');
    }
}

class Win32Platform final : public Platform {
public:
    std::string ModuleFileName() override { return SystemName(Name::Module); }

    std::string TempDirectory() override {
        std::string dir = SystemName(Name::Temp);
        if (dir.empty() || dir.back() != '\\') dir.push_back('\\');
        return dir;
    }

    void ReleaseTempDirectory(const std::string&) override {}

    std::uint32_t UniqueSeed() override { return ::GetTickCount() ^ (::GetCurrentProcessId() << 16); }

    std::string WindowsDirectory() override { return SystemName(Name::Windows); }

    char PathDelimiter() const override { return '\\'; }
    bool IsDirectoryDelimiter(char c) const override { return c == '\\' || c == ':'; }

    RunResult RunAndWait(const EngineCommand& command, LauncherFile& engine) override {
        RunResult result;
        const std::u16string program = WideFromText(command.Program);
        const std::u16string parameters = WideFromText(command.Parameters);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.hwnd = nullptr;
        info.lpVerb = L"Open";
        info.lpFile = Wide(program);
        info.lpParameters = Wide(parameters);
        info.lpDirectory = L"";
        info.nShow = command.ShowCommand;
        if (!::ShellExecuteExW(&info)) {
            result.Error = "system error " + std::to_string(::GetLastError());
            return result;
        }
        // The system holds the started image now; the engine may open its own file.
        engine.Close();
        result.Started = true;
        while (::WaitForSingleObject(info.hProcess, kWaitSlice) == WAIT_TIMEOUT) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        DWORD code = 0;
        if (::GetExitCodeProcess(info.hProcess, &code)) result.ExitCode = static_cast<std::int32_t>(code);
        ::TerminateProcess(info.hProcess, 0);
        // The handle stays open: the launcher ends right afterwards.
        return result;
    }

    void Beep() override { ::MessageBeep(0); }

    void ShowErrorReport(const std::string& title, const std::string& text) override {
        ::MessageBoxW(nullptr, Wide(WideFromText(text)), Wide(WideFromText(title)),
                      MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }

    std::uintptr_t FailureAddress() override {
        return reinterpret_cast<std::uintptr_t>(&RunLauncher) -
               reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
    }
};

}  // namespace

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace qvx::launcher

#endif  // _WIN32
