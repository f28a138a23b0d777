// Error lines say why, once, in one style: "qvx: <file>: <reason>", with the system's reason for a
// file that cannot be used.
#include <unistd.h>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

TEST_F(CliTest, ErrorsNameTheFileAndTheReasonOnce) {
    Write("tree/f", "x");
    Write("in", "data");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"list", "tree"}, "qvx: tree: Is a directory\n"},
        {{"test", "tree"}, "qvx: tree: Is a directory\n"},
        {{"cat", "tree", "f"}, "qvx: tree: Is a directory\n"},
        {{"extract", "tree"}, "qvx: tree: Is a directory\n"},
        {{"compress", "tree", "out"}, "qvx: tree: Is a directory\n"},
        {{"expand", "-m", "rle", "tree", "out"}, "qvx: tree: Is a directory\n"},
        {{"list", "x.spis"}, "qvx: x.spis: No such file or directory\n"},
        {{"test", "tree/x.spis"}, "qvx: tree/x.spis: No such file or directory\n"},
        {{"compress", "nothere", "out"}, "qvx: nothere: No such file or directory\n"},
        {{"compress", "in", "nodir/out"}, "qvx: nodir/out: No such file or directory\n"},
        {{"compress", "in", "in/out"}, "qvx: in/out: Not a directory\n"},
    };
    for (const auto& [args, err] : cases) {
        const RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, 1) << args[0] << " " << args[1];
        EXPECT_EQ(r.Err, err) << args[0] << " " << args[1];
    }
    EXPECT_EQ(Tree(), (std::vector<std::string>{"in", "tree", "tree/f"}));
}

TEST_F(CliTest, UnreadableFilesArePermissionDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    Write("locked", "x");
    std::filesystem::permissions(Path("locked"), std::filesystem::perms::none);
    for (const char* command : {"list", "test"}) {
        const RunResult r = Qvx({command, "locked"});
        EXPECT_EQ(r.Code, 1) << command;
        EXPECT_EQ(r.Err, "qvx: locked: Permission denied\n") << command;
    }
}

}  // namespace
}  // namespace qvx::cli::test
