// Decompression bombs: a few stored bytes that declare a large expanded size. list, test and cat
// must not hold the expanded data in memory, and extract streams it to disk; the peak memory of
// the qvx process must not grow with the declared size.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "cli/Cli.h"
#include "CliTestSupport.h"

extern char** environ;

namespace qvx::cli::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kSmall = 64 * 1024;
constexpr std::int32_t kLarge = 12 * 1024 * 1024;
// A process that held the expanded data would grow by about kLarge between the two runs.
constexpr long kAllowedGrowthKb = 4 * 1024;

struct Measured {
    int Code = -1;
    long PeakKb = 0;
};

// Zero bytes. In LH5, 52 zero bits are a whole block: 65,536 symbols of single-symbol codes, each
// the literal 0 and taking no bits; so expandedSize / 65,536 such blocks are a sound stream of
// zeros (checksum 0). In LZH zero bits give bytes forever, but not zeros: the stream's four bytes
// run out long before the size and the checksum would not match either.
RawEntry ZeroBitsEntry(CompressMethod method, std::int32_t expandedSize) {
    RawEntry e;
    e.Name = "bomb.bin";
    e.Method = method;
    const std::size_t blocks = static_cast<std::size_t>(expandedSize) / 65536;
    e.Stored.assign(method == cmLH5 ? (blocks * 52 + 7) / 8 : 4, 0);
    e.ExpandedSize = expandedSize;
    e.Checksum = 0;
    return e;
}

class CliBombTest : public CliTest {
protected:
    // Runs qvx in the test directory with stdout and stderr discarded; reports its exit code and
    // its own peak resident set size.
    Measured Run(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {QVX_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        Measured m;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << QVX_BINARY;
            return m;
        }
        int status = 0;
        struct rusage usage {};
        if (::wait4(pid, &status, 0, &usage) != pid) {
            ADD_FAILURE() << "wait4 failed";
            return m;
        }
        m.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m.PeakKb = usage.ru_maxrss;
        return m;
    }

    void WriteBomb(const std::string& file, CompressMethod method, std::int32_t expandedSize,
                   const char* methodId) const {
        Write(file, BuildArchive({ZeroBitsEntry(method, expandedSize)}, methodId));
    }
};

TEST_F(CliBombTest, Lh5ZeroBitsDeclaringManyBytesKeepMemoryFlat) {
    WriteBomb("small.qvx", cmLH5, kSmall, "LH5");
    WriteBomb("large.qvx", cmLH5, kLarge, "LH5");

    for (const char* command : {"list", "test"}) {
        const Measured small = Run({"-q", command, "small.qvx"});
        const Measured large = Run({"-q", command, "large.qvx"});
        EXPECT_EQ(small.Code, kExitOk) << command;
        EXPECT_EQ(large.Code, kExitOk) << command;
        EXPECT_LT(large.PeakKb - small.PeakKb, kAllowedGrowthKb)
            << command << ": peak " << small.PeakKb << " KB -> " << large.PeakKb << " KB";
    }

    const Measured cat = Run({"-q", "cat", "large.qvx", "bomb.bin"});
    EXPECT_EQ(cat.Code, kExitOk);

    const Measured smallExtract = Run({"-q", "extract", "-C", "small", "small.qvx"});
    const Measured largeExtract = Run({"-q", "extract", "-C", "large", "large.qvx"});
    EXPECT_EQ(smallExtract.Code, kExitOk);
    EXPECT_EQ(largeExtract.Code, kExitOk);
    EXPECT_LT(largeExtract.PeakKb - smallExtract.PeakKb, kAllowedGrowthKb)
        << "extract: peak " << smallExtract.PeakKb << " KB -> " << largeExtract.PeakKb << " KB";
    EXPECT_LT(cat.PeakKb - smallExtract.PeakKb, kAllowedGrowthKb) << "cat: peak " << cat.PeakKb << " KB";

    // The extracted file holds every declared byte, all zero.
    ASSERT_EQ(fs::file_size(Path("large/bomb.bin")), static_cast<std::uintmax_t>(kLarge));
    std::ifstream in(Path("large/bomb.bin"), std::ios::binary);
    std::vector<char> buffer(1 << 16);
    std::size_t nonZero = 0;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) nonZero += buffer[static_cast<std::size_t>(i)] != 0;
    }
    EXPECT_EQ(nonZero, 0u);
}

TEST_F(CliBombTest, LzhZeroBitsDeclaringManyBytesKeepMemoryFlatAndFailTheChecksum) {
    WriteBomb("small.qvx", cmLZH, kSmall, "LZH");
    WriteBomb("large.qvx", cmLZH, kLarge, "LZH");
    const Measured small = Run({"-q", "test", "small.qvx"});
    const Measured large = Run({"-q", "test", "large.qvx"});
    // The expanded bytes are not zero, so the stored checksum 0 does not match.
    EXPECT_EQ(small.Code, kExitDataError);
    EXPECT_EQ(large.Code, kExitDataError);
    EXPECT_LT(large.PeakKb - small.PeakKb, kAllowedGrowthKb)
        << "peak " << small.PeakKb << " KB -> " << large.PeakKb << " KB";
}

}  // namespace
}  // namespace qvx::cli::test
