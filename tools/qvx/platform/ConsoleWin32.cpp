#include "Console.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include "NativePath.h"

namespace qvx::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void WriteError(std::string_view utf8) {
    const HANDLE h = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(h, &mode)) {
        // A console shows UTF-16 whatever its code page.
        const std::wstring text = Widen(utf8);
        DWORD written = 0;
        ::WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    while (!utf8.empty()) {
        DWORD n = 0;
        if (!::WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &n, nullptr) || n == 0) return;
        utf8.remove_prefix(n);
    }
}

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept : previous_(::GetConsoleOutputCP()) {
    if (previous_ != 0) ::SetConsoleOutputCP(CP_UTF8);
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
    if (previous_ != 0) ::SetConsoleOutputCP(previous_);
}

}  // namespace qvx::platform
