// The launcher's platform layer on POSIX systems.
//
// - The launcher's own path comes from /proc/self/exe.
// - Each run creates a private directory "QVX.XXXXXX" (mode 0700) in $TMPDIR, or /tmp when that is
//   unset or empty; the staged archive and the fallback engine file go into it, so no file is ever
//   created under a guessable name in a shared directory. A failed run removes it again.
// - The "Windows directory" is $WINDIR when set and not empty, else /usr/local/lib/qvx: a
//   system-wide directory an ordinary user cannot write, so that for ordinary users the engine
//   lands in the private run directory.
// - The engine is started from the file the launcher holds open (through /proc/self/fd, so a name
//   changed meanwhile starts nothing else), without a shell, with the two arguments as argv[1]
//   and argv[2]; the launcher waits for it in 100 ms slices.
// - The beep is a BEL character and the error report its title and text, both on stderr.
#ifndef _WIN32

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <instcompress/Exceptions.h>

#include "MainSequence.h"
#include "Platform.h"

extern char** environ;

namespace qvx::launcher {

namespace {

constexpr char kSystemEngineDirectory[] = "/usr/local/lib/qvx";

std::string TempRoot() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env != nullptr && *env != '\0') ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

void WriteStderr(const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

class PosixPlatform final : public Platform {
public:
    std::string ModuleFileName() override {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0) throw EFOpenError("Cannot open file /proc/self/exe");
            if (static_cast<std::size_t>(n) < buffer.size())
                return std::string(buffer.data(), static_cast<std::size_t>(n));
            buffer.resize(buffer.size() * 2);
        }
    }

    std::string TempDirectory() override {
        std::string dir = TempRoot() + "/QVX.XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr) throw EFCreateError("Cannot create file " + dir);
        return dir + "/";
    }

    void ReleaseTempDirectory(const std::string& dir) override { ::rmdir(dir.c_str()); }

    std::uint32_t UniqueSeed() override {
        return static_cast<std::uint32_t>(::getpid()) ^ static_cast<std::uint32_t>(std::time(nullptr));
    }

    std::string WindowsDirectory() override {
        const char* env = std::getenv("WINDIR");
        return (env != nullptr && *env != '\0') ? env : kSystemEngineDirectory;
    }

    char PathDelimiter() const override { return '/'; }
    bool IsDirectoryDelimiter(char c) const override { return c == '/'; }

    RunResult RunAndWait(const EngineCommand& command, LauncherFile& engine) override {
        RunResult result;
        std::vector<std::string> args;
        args.push_back(command.Program);
        args.insert(args.end(), command.Arguments.begin(), command.Arguments.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        // An engine that is a script ("#!") is opened again by its interpreter through this name
        // after the exec, so the descriptor it names must stay open across the exec: a duplicate
        // without close-on-exec, which the engine inherits.
        const int inherited = ::fcntl(static_cast<int>(engine.NativeHandle()), F_DUPFD, 0);
        if (inherited < 0) {
            result.Error = std::strerror(errno);
            return result;
        }
        const std::string image = "/proc/self/fd/" + std::to_string(inherited);
        pid_t pid = 0;
        const int rc = ::posix_spawn(&pid, image.c_str(), nullptr, nullptr, argv.data(), environ);
        ::close(inherited);
        if (rc != 0) {
            result.Error = std::strerror(rc);
            return result;
        }
        engine.Close();
        result.Started = true;
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (done < 0 && errno != EINTR) break;
            const timespec slice{0, 100'000'000};
            ::nanosleep(&slice, nullptr);
        }
        return result;
    }

    void Beep() override { WriteStderr("\a"); }

    void ShowErrorReport(const std::string& title, const std::string& text) override {
        WriteStderr(title + "\n" + text + "\n");
    }

    std::uintptr_t FailureAddress() override {
        const auto here = reinterpret_cast<std::uintptr_t>(&RunLauncher);
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(here), &info) == 0 || info.dli_fbase == nullptr) return here;
        return here - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    }
};

}  // namespace

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<PosixPlatform>(); }

}  // namespace qvx::launcher

#endif  // !_WIN32
