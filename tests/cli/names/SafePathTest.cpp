#include <gtest/gtest.h>

#include "names/SafePath.h"

namespace qvx::cli {
namespace {

TEST(SafePath, RelativeNamesSplitIntoComponents) {
    auto parts = SplitEntryName("Installer\\Quorvex.exe");
    ASSERT_TRUE(parts);
    EXPECT_EQ(*parts, (std::vector<std::string>{"Installer", "Quorvex.exe"}));
    parts = SplitEntryName("a/b\\c");
    ASSERT_TRUE(parts);
    EXPECT_EQ(*parts, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(IsSafeEntryName("file"));
    EXPECT_TRUE(IsSafeEntryName(".hidden"));
    EXPECT_TRUE(IsSafeEntryName("a..b\\..c"));
    EXPECT_TRUE(IsSafeEntryName("name with spaces.txt"));
}

TEST(SafePath, TraversalAndAbsoluteNamesAreRefused) {
    for (const char* name :
         {"..\\x",  "..",          "a\\..\\..\\b", "a\\..", "../x",   "a/../b", "\\abs", "/abs",    "\\\\server\\share",
          "C:x",    "c:\\windows", "a\\b:stream",  "",      "a\\\\b", "a\\",    ".\\a",  "a\\.\\b", "...\\x",
          ". .\\x", "a\\ ."}) {
        std::string reason;
        EXPECT_FALSE(SplitEntryName(name, &reason)) << name;
        EXPECT_FALSE(reason.empty()) << name;
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
}

TEST(SafePath, ReasonsNameTheFault) {
    std::string reason;
    SplitEntryName("..\\x", &reason);
    EXPECT_EQ(reason, "'..' component");
    SplitEntryName("\\abs", &reason);
    EXPECT_EQ(reason, "absolute path");
    SplitEntryName("C:x", &reason);
    EXPECT_EQ(reason, "drive letter or ':' in name");
    SplitEntryName("a\\\\b", &reason);
    EXPECT_EQ(reason, "empty path component");
    SplitEntryName(std::string_view("a\0b", 3), &reason);
    EXPECT_EQ(reason, "name contains a NUL byte");
}

TEST(SafePath, JoinIsTheInverseOfSplit) {
    const std::vector<std::string> parts{"dir", "sub", "f.txt"};
    EXPECT_EQ(JoinEntryName(parts), "dir\\sub\\f.txt");
    EXPECT_EQ(*SplitEntryName(JoinEntryName(parts)), parts);
}

}  // namespace
}  // namespace qvx::cli
