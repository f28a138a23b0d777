#include <gtest/gtest.h>
#include <unistd.h>

#include "CliTestSupport.h"
#include "platform/SameFile.h"

namespace qvx::cli::test {
namespace {

using SameFileTest = CliTest;

TEST_F(SameFileTest, SameObjectWhateverThePathSaysAndNothingForMissingFiles) {
    Write("a", "x");
    Write("b", "x");
    ASSERT_EQ(::link(Path("a").c_str(), Path("hard").c_str()), 0);
    ASSERT_EQ(::symlink(Path("a").c_str(), Path("soft").c_str()), 0);
    struct Case {
        const char* First;
        const char* Second;
        bool Same;
    } cases[] = {{"a", "a", true},  {"a", "./a", true},   {"a", "hard", true},    {"soft", "a", true},
                 {"a", "b", false}, {"a", "none", false}, {"none", "none", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(SameFile(Path(c.First).string(), Path(c.Second).string()), c.Same) << c.First << " " << c.Second;
    }
}

}  // namespace
}  // namespace qvx::cli::test
