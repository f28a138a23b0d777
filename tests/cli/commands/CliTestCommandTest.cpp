// qvx test: is the file a good archive? Its verdict and its counts, for every kind of file.
#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

struct VerdictCase {
    const char* What;
    std::string Bytes;
    int Code;
    std::string Out;
    std::string Err;
};

TEST_F(CliTest, TestVerdictsAndCounts) {
    const std::string two = Bytes(BuildArchive({StoredEntry("one", "1111"), StoredEntry("two", "2222")}));
    std::string wrongType = two;
    wrongType[12] = 2;
    std::string claimsMore = Bytes(BuildArchive({}));
    claimsMore[8] = 10;  // TotalSize 10, no entries
    std::string negative = Bytes(BuildArchive({StoredEntry("one", "1111"), StoredEntry("neg", "x")}));
    // The second entry header starts after 21 + 25 + 3 + 4 bytes; its StoredSize field is at +12.
    negative[21 + 25 + 3 + 4 + 12 + 3] = '\xFF';
    const std::string badThenCut = Bytes(BuildArchive({BadChecksumRleEntry("bad", 4), StoredEntry("two", "2222")}));

    const std::vector<VerdictCase> cases = {
        {"empty file", "", 1, "", "qvx: f: not an archive\n"},
        {"text", "hello", 1, "", "qvx: f: not an archive\n"},
        {"cut in the header", two.substr(0, 20), 1, "", "qvx: f: not an archive\n"},
        {"no magic", std::string(30, 'x'), 1, "", "qvx: f: not an archive\n"},
        {"magic without 0x1A", "SPIS!" + two.substr(5), 1, "", "qvx: f: not an archive\n"},
        {"wrong archive type", wrongType, 1, "", "qvx: f: Archive type must be caMulti\n"},
        {"empty archive", Bytes(BuildArchive({})), 0, "No entries\n", ""},
        {"no entries but a size", claimsMore, 1, "No entries; archive is truncated\n",
         "qvx: f: archive is truncated: its entries hold 0 of 10 bytes\n"},
        {"whole", two, 0, "OK      one\nOK      two\nAll 2 entries OK\n", ""},
        {"second entry header cut", two.substr(0, two.size() - 10), 1,
         "OK      one\n1 entry OK; archive is truncated\n",
         "qvx: f: archive is truncated: its entries hold 4 of 8 bytes\n"},
        {"bad checksum", Bytes(BuildArchive({BadChecksumRleEntry("bad", 4), StoredEntry("two", "2222")})), 1,
         "FAILED  bad\nOK      two\n1 of 2 entries failed\n",
         "qvx: f: bad: Bad checksum during expansion -- data may be invalid\n"},
        {"bad checksum and cut", badThenCut.substr(0, badThenCut.size() - 10), 1,
         "FAILED  bad\n1 of 1 entry failed; archive is truncated\n",
         "qvx: f: bad: Bad checksum during expansion -- data may be invalid\n"
         "qvx: f: archive is truncated: its entries hold 4 of 8 bytes\n"},
        {"negative size", negative, 1, "OK      one\n1 entry OK; archive is damaged\n",
         "qvx: f: Negative size in archive entry\n"},
    };
    for (const VerdictCase& c : cases) {
        Write("f", c.Bytes);
        const RunResult r = Qvx({"test", "f"});
        EXPECT_EQ(r.Code, c.Code) << c.What;
        EXPECT_EQ(r.Out, c.Out) << c.What;
        EXPECT_EQ(r.Err, c.Err) << c.What;
    }
}

}  // namespace
}  // namespace qvx::cli::test
