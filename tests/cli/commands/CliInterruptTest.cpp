// An interrupted command leaves no temporary file: SIGINT, SIGTERM and SIGHUP sent to a create and
// an extract of a large input while its output is being written. The process ends by the signal,
// as without the clean-up.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "CliTestSupport.h"

extern char** environ;

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

// An RLE entry of size bytes 'A': little to store, much to write.
RawEntry RunOfA(std::string name, std::int32_t size) {
    RawEntry e;
    e.Name = std::move(name);
    e.Method = cmRLE;
    for (std::int32_t left = size; left > 0; left -= 255) {
        const auto n = static_cast<std::uint8_t>(std::min<std::int32_t>(left, 255));
        e.Stored.insert(e.Stored.end(), {'A', 0x94, n});
    }
    e.ExpandedSize = size;
    e.Checksum = static_cast<std::uint32_t>(size) * 'A';
    return e;
}

class InterruptTest : public CliTest {
protected:
    // Starts qvx in the test's directory with the signals at their default action; returns its pid.
    pid_t Start(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {QVX_BINARY, "-q"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        pid_t pid = -1;
        const int error = posix_spawn(&pid, QVX_BINARY, &actions, &attr, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        return error == 0 ? pid : -1;
    }

    // Whether a temporary file of qvx appears below the test's directory within 20 s.
    bool TemporaryAppears() const {
        for (int i = 0; i < 20000; ++i) {
            for (const auto& path : Tree())
                if (path.find(".qvx-") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

TEST_F(InterruptTest, SignalsLeaveNoTemporaryFiles) {
    Write("in/big.txt", PseudoRandomText(4 << 20, 3));
    Write("big.spis", BuildArchive({RunOfA("big.bin", 64 << 20)}));
    const struct {
        std::vector<std::string> Args;
        const char* Output;
    } commands[] = {{{"create", "-C", "in", "out/a.spis", "."}, "out"}, {{"extract", "-C", "out", "big.spis"}, "out"}};
    for (const auto& command : commands) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            const std::string label = command.Args[0] + " " + strsignal(signal);
            fs::remove_all(Path("out"));
            fs::create_directories(Path("out"));
            const pid_t pid = Start(command.Args);
            ASSERT_GT(pid, 0) << label;
            const bool appeared = TemporaryAppears();
            ::kill(pid, signal);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid) << label;

            ASSERT_TRUE(appeared) << label;
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << label << ": status " << status;
            EXPECT_TRUE(fs::is_empty(Path(command.Output))) << label;
        }
    }
}

}  // namespace
}  // namespace qvx::cli::test
