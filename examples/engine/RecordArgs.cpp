// Stands in for an installer engine in tests: writes its arguments, one per line (argv[1] first),
// to the file named by QVX_RECORD_FILE, stays for QVX_RECORD_WAIT_MS milliseconds (default 0) and
// exits with the code in QVX_RECORD_EXIT (default 0).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    const char* file = std::getenv("QVX_RECORD_FILE");
    if (file != nullptr && *file != '\0') {
        std::FILE* out = std::fopen(file, "wb");
        if (out == nullptr) return 90;
        for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
        std::fclose(out);
    }
    if (const char* wait = std::getenv("QVX_RECORD_WAIT_MS")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(wait)));
    }
    const char* code = std::getenv("QVX_RECORD_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
