// End-to-end runs of the raw codec commands.
#include "CliTestSupport.h"

namespace qvx::cli::test {
namespace {

TEST_F(CliTest, ExpandRleExactly) {
    Write("in.rle", std::vector<std::uint8_t>{'A', 0x94, 0x05, 0x94, 0x00, 0x94, 0x03, 'z', 0x94, 0x04, 'q'});
    auto r = Qvx({"expand", "-m", "rle", "in.rle", "out"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(Read("out"), "AAAAA\x94\x94\x94zzzzq");

    r = Qvx({"expand", "-v", "-m", "RLE", "-", "-"}, "in.rle");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "AAAAA\x94\x94\x94zzzzq");
    EXPECT_EQ(r.Err, "qvx: -: 11 bytes in, 13 bytes out, checksum 0000055a\n");
}

TEST_F(CliTest, CompressRleIsRefused) {
    Write("in", "data");
    const auto r = Qvx({"compress", "-m", "rle", "in", "out"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_FALSE(Exists("out"));
}

TEST_F(CliTest, ExpandMissingInputLeavesNoOutput) {
    const auto r = Qvx({"expand", "-m", "rle", "nothere", "out"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: nothere: No such file or directory\n");
    EXPECT_TRUE(Tree().empty());
}

class RawRoundTrip : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RawRoundTrip, CompressThenExpand) {
    const std::string method = GetParam();
    const std::string text = PseudoRandomText(100000, 7);
    Write("in", text);
    auto r = Qvx({"-q", "compress", "-m", method, "in", "in.z"});
    if (CodecMissing(r)) GTEST_SKIP() << method << " codec not in this build";
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_LT(Read("in.z").size(), text.size());
    r = Qvx({"expand", "-m", method, "-s", std::to_string(text.size()), "in.z", "out"});
    if (CodecMissing(r)) GTEST_SKIP() << method << " expansion not in this build";
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Read("out"), text);

    // Stdin to stdout, and output larger than the input is accepted.
    Write("tiny", "\x01\xF3");
    r = Qvx({"compress", "-m", method, "-", "-"}, "tiny");
    ASSERT_EQ(r.Code, 0) << r.Err;
    Write("tiny.z", r.Out);
    r = Qvx({"expand", "-m", method, "-s", "2", "tiny.z", "-"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "\x01\xF3");
}

INSTANTIATE_TEST_SUITE_P(Methods, RawRoundTrip, ::testing::Values("lh5", "lzh"));

TEST_F(CliTest, CompressDefaultsToLh5) {
    Write("in", PseudoRandomText(2000, 9));
    auto r = Qvx({"compress", "in", "a.z"});
    if (CodecMissing(r)) {
        EXPECT_EQ(r.Err, "qvx: in: LH5 compression is not available in this build\n");
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(Tree(), std::vector<std::string>{"in"});
        return;
    }
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_EQ(Qvx({"compress", "-m", "lh5", "in", "b.z"}).Code, 0);
    EXPECT_EQ(Read("a.z"), Read("b.z"));
}

}  // namespace
}  // namespace qvx::cli::test
