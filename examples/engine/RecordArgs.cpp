// Stands in for an installer engine in tests: writes its arguments, one per line (argv[1] first),
// to the file named by QVX_RECORD_FILE, stays for QVX_RECORD_WAIT_MS milliseconds (default 0) and
// exits with the code in QVX_RECORD_EXIT (default 0). On Windows the arguments are taken from the
// wide command line and written as UTF-8, so a name outside the ANSI code page is recorded exactly.
#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
        text.resize(text.size() - 1);
        args.push_back(text);
    }
    ::LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = std::getenv("QVX_RECORD_FILE");
    if (file != nullptr && *file != '\0') {
        std::FILE* out = std::fopen(file, "wb");
        if (out == nullptr) return 90;
        for (const std::string& arg : Arguments(argc, argv)) std::fprintf(out, "%s\n", arg.c_str());
        std::fclose(out);
    }
    if (const char* wait = std::getenv("QVX_RECORD_WAIT_MS")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(wait)));
    }
    const char* code = std::getenv("QVX_RECORD_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
