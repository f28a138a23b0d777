// Entry selection on the command line of list, test, cat and extract: wildcards, directory
// prefixes, either separator, -x; a pattern that matches nothing is reported (exit 1) and the
// others still go. extract refuses the later of two names equal ignoring case.
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

struct SelectionCase {
    std::vector<std::string> Args;   // after the command and the archive
    std::vector<std::string> Names;  // entries selected, in archive order
    int Code;
    std::string Err;
};

class CliSelection : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        Write("a.spis", BuildArchive({StoredEntry("readme.TXT", "R"), StoredEntry("docs\\a.txt", "A"),
                                      StoredEntry("docs\\sub\\b.txt", "B"), StoredEntry("docs\\a.bak", "K"),
                                      StoredEntry("bin\\c.bin", "C"), StoredEntry("Docs\\A.TXT", "2")}));
    }

    static const std::vector<SelectionCase>& Cases() {
        static const std::vector<SelectionCase> cases = {
            {{}, {"readme.TXT", "docs\\a.txt", "docs\\sub\\b.txt", "docs\\a.bak", "bin\\c.bin", "Docs\\A.TXT"}, 0, ""},
            {{"docs/a.txt"}, {"docs\\a.txt", "Docs\\A.TXT"}, 0, ""},
            {{"DOCS\\SUB\\B.TXT"}, {"docs\\sub\\b.txt"}, 0, ""},
            {{"docs/"}, {"docs\\a.txt", "docs\\sub\\b.txt", "docs\\a.bak", "Docs\\A.TXT"}, 0, ""},
            {{"docs", "-x", "*/*.bak", "-x", "docs/sub"}, {"docs\\a.txt", "Docs\\A.TXT"}, 0, ""},
            {{"*.txt"}, {"readme.TXT"}, 0, ""},
            {{"**/*.txt"}, {"readme.TXT", "docs\\a.txt", "docs\\sub\\b.txt", "Docs\\A.TXT"}, 0, ""},
            {{"bin/[a-c].bin", "nothing*", "docs/?.bak", "gone"},
             {"docs\\a.bak", "bin\\c.bin"},
             1,
             "qvx: a.spis: nothing*: no such entry\nqvx: a.spis: gone: no such entry\n"},
        };
        return cases;
    }

    static std::string Joined(const std::vector<std::string>& args) {
        std::string s;
        for (const auto& a : args) s += a + " ";
        return s;
    }
};

TEST_F(CliSelection, ListTestCatAndExtractSelectTheSameEntries) {
    for (const SelectionCase& c : Cases()) {
        const std::string what = Joined(c.Args);
        std::vector<std::string> args = {"list", "--json", "a.spis"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, c.Code) << "list " << what;
        EXPECT_EQ(r.Err, c.Err) << "list " << what;
        std::vector<std::string> listed;
        const auto listing = nlohmann::json::parse(r.Out);
        for (const auto& e : listing["entries"]) listed.push_back(e["name"]);
        EXPECT_EQ(listed, c.Names) << "list " << what;

        args[0] = "test";
        args.erase(args.begin() + 1);
        r = Qvx(args);
        EXPECT_EQ(r.Code, c.Code) << "test " << what;
        EXPECT_EQ(r.Err, c.Err) << "test " << what;
        std::string expected;
        for (const auto& n : c.Names) expected += "OK      " + n + "\n";
        expected += "All " + std::to_string(c.Names.size()) + (c.Names.size() == 1 ? " entry OK\n" : " entries OK\n");
        EXPECT_EQ(r.Out, expected) << "test " << what;

        if (!c.Args.empty()) {
            args[0] = "cat";
            r = Qvx(args);
            EXPECT_EQ(r.Code, c.Code) << "cat " << what;
            EXPECT_EQ(r.Err, c.Err) << "cat " << what;
            std::string bytes;
            for (const auto& n : c.Names) {
                for (const auto& [name, data] :
                     std::vector<std::pair<std::string, std::string>>{{"readme.TXT", "R"},
                                                                      {"docs\\a.txt", "A"},
                                                                      {"docs\\sub\\b.txt", "B"},
                                                                      {"docs\\a.bak", "K"},
                                                                      {"bin\\c.bin", "C"},
                                                                      {"Docs\\A.TXT", "2"}})
                    if (name == n) bytes += data;
            }
            EXPECT_EQ(r.Out, bytes) << "cat " << what;
        }

        std::filesystem::remove_all(Path("out"));
        args[0] = "extract";
        args.insert(args.begin() + 1, {"-f", "-C", "out"});
        r = Qvx(args);
        // "Docs\A.TXT" comes after "docs\a.txt", which Windows takes as the same file: refused.
        const bool collides = std::find(c.Names.begin(), c.Names.end(), "Docs\\A.TXT") != c.Names.end();
        EXPECT_EQ(r.Code, collides ? 1 : c.Code) << "extract " << what;
        EXPECT_EQ(r.Err, collides ? "qvx: a.spis: Docs\\A.TXT: refused unsafe entry name (same name as \"docs\\a.txt\" "
                                    "ignoring case (Windows holds only one of them))\n" +
                                        c.Err
                                  : c.Err)
            << "extract " << what;
        std::set<std::string> files;
        for (const auto& n : c.Names) {
            if (n == "Docs\\A.TXT") continue;
            std::string p = "out/" + n;
            std::replace(p.begin(), p.end(), '\\', '/');
            files.insert(p);
        }
        std::vector<std::string> extracted;
        if (Exists("out"))
            for (const auto& p : Tree("out"))
                if (std::filesystem::is_regular_file(Path(p))) extracted.push_back(p);
        EXPECT_EQ(extracted, std::vector<std::string>(files.begin(), files.end())) << "extract " << what;
    }
}

}  // namespace
}  // namespace qvx::cli::test
