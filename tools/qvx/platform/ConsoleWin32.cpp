#include "Console.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cerrno>

#include "FileSystem.h"
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

namespace {

int WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) return LastError();
        if (n == 0) return EIO;
        bytes.remove_prefix(n);
    }
    return 0;
}

}  // namespace

int WriteText(StandardStream which, std::string_view utf8) {
    const HANDLE h = ::GetStdHandle(which == StandardStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(h, &mode)) {
        // A console shows UTF-16 whatever its code page.
        const std::wstring text = Widen(utf8);
        DWORD written = 0;
        if (!::WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return LastError();
        return 0;
    }
    if (which == StandardStream::Error) return WriteAll(h, utf8);
    // Standard output in text mode: every line ends in CR LF.
    std::string text;
    text.reserve(utf8.size() + utf8.size() / 16);
    for (const char c : utf8) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return WriteAll(h, text);
}

// Everything written went to the system already; a handle of the system's is not closed.
int CloseStandardOutput() { return 0; }

void HoldMissingStandardStreams() {}

void ReportClosedPipesAsErrors() {}

void EndForClosedPipe() {}

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept : previous_(::GetConsoleOutputCP()) {
    if (previous_ != 0) ::SetConsoleOutputCP(CP_UTF8);
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
    if (previous_ != 0) ::SetConsoleOutputCP(previous_);
}

}  // namespace qvx::platform
