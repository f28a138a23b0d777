// End-to-end runs of the raw codec commands.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <tuple>

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
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_LT(Read("in.z").size(), text.size());
    r = Qvx({"expand", "-m", method, "-s", std::to_string(text.size()), "in.z", "out"});
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
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_EQ(Qvx({"compress", "-m", "lh5", "in", "b.z"}).Code, 0);
    EXPECT_EQ(Read("a.z"), Read("b.z"));
}

}  // namespace
}  // namespace qvx::cli::test

namespace qvx::cli::test {
namespace {

// Raw expand writes exactly -s bytes, and fails without output when the stream ends first or holds
// more, unless --partial keeps what was decoded.
struct FitCase {
    const char* Method;
    const char* Input;
    long Size;  // -s
    bool Partial;
    int Code;
    std::string ErrTail;  // after "qvx: <input>.z: "
    long Kept;            // bytes of the output file, -1 for none
};

TEST_F(CliTest, ExpandWritesExactlyTheSizeOrFails) {
    const std::map<std::string, std::string> inputs = {
        {"hello", "hello"},
        {"text", PseudoRandomText(3000, 11)},
        {"run", "abc" + std::string(1000, '\0')},  // ends with a long match
    };
    const std::vector<FitCase> cases = {
        {"lh5", "text", 3000, false, 0, "", 3000},
        {"lh5", "text", 1500, false, 1, "stream holds more than 1500 bytes (-s); nothing written\n", -1},
        {"lh5", "text", 1500, true, 1, "stream holds more than 1500 bytes (-s); kept 1500 bytes (--partial)\n", 1500},
        {"lh5", "text", 3001, false, 1, "stream ends before 3001 bytes (-s) are expanded; nothing written\n", -1},
        {"lh5", "text", 6000, true, 1, "stream ends before 6000 bytes (-s) are expanded; kept 6000 bytes (--partial)\n",
         6000},
        {"lh5", "run", 1002, false, 1, "stream holds more than 1002 bytes (-s); nothing written\n", -1},
        {"lh5", "hello", 0, false, 1, "stream holds more than 0 bytes (-s); nothing written\n", -1},
        {"lh5", "hello", 6, false, 1, "stream ends before 6 bytes (-s) are expanded; nothing written\n", -1},
        {"lzh", "text", 3000, false, 0, "", 3000},
        {"lzh", "text", 2999, false, 1, "stream holds more than 2999 bytes (-s); nothing written\n", -1},
        {"lzh", "text", 3001, false, 1, "stream ends before 3001 bytes (-s) are expanded; nothing written\n", -1},
        {"lzh", "run", 1004, false, 1, "stream ends before 1004 bytes (-s) are expanded; nothing written\n", -1},
        {"lzh", "run", 1002, true, 1, "stream holds more than 1002 bytes (-s); kept 1002 bytes (--partial)\n", 1002},
        {"lzh", "hello", 10, false, 1, "stream ends before 10 bytes (-s) are expanded; nothing written\n", -1},
    };
    for (const auto& [name, data] : inputs) Write(name, data);
    for (const FitCase& c : cases) {
        const std::string z = std::string(c.Input) + "." + c.Method;
        if (!Exists(z)) {
            ASSERT_EQ(Qvx({"compress", "-m", c.Method, c.Input, z}).Code, 0);
        }
        std::filesystem::remove(Path("out"));
        std::vector<std::string> args = {"expand", "-m", c.Method, "-s", std::to_string(c.Size), z, "out"};
        if (c.Partial) args.insert(args.begin() + 1, "--partial");
        const std::string what = std::string(c.Method) + " " + c.Input + " -s " + std::to_string(c.Size);
        const RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, c.Code) << what;
        EXPECT_EQ(r.Err, c.ErrTail.empty() ? "" : "qvx: " + z + ": " + c.ErrTail) << what;
        if (c.Kept < 0) {
            EXPECT_FALSE(Exists("out")) << what;
            continue;
        }
        const std::string out = Read("out");
        const std::string& original = inputs.at(c.Input);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(c.Kept)) << what;
        // What fits is the input's beginning, byte for byte.
        const std::size_t common = std::min(out.size(), original.size());
        EXPECT_EQ(out.substr(0, common), original.substr(0, common)) << what;
    }
    // Standard output gets no more than -s bytes of a match that runs past it.
    const RunResult r = Qvx({"expand", "-m", "lh5", "-s", "1002", "run.lh5", "-"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, inputs.at("run").substr(0, 1002));
    EXPECT_EQ(r.Err, "qvx: run.lh5: stream holds more than 1002 bytes (-s)\n");
}

TEST_F(CliTest, ExpandRleHoldsItsOutputToAGivenSize) {
    Write("in.rle", std::vector<std::uint8_t>{'A', 0x94, 0x05, 'z'});  // AAAAAz
    const std::vector<std::tuple<std::string, int, std::string, std::string>> cases = {
        {"6", 0, "", "AAAAAz"},
        {"5", 1, "qvx: in.rle: stream holds more than 5 bytes (-s)\n", "AAAAA"},
        {"7", 1, "qvx: in.rle: stream ends before 7 bytes (-s) are expanded\n", "AAAAAz"},
    };
    for (const auto& [size, code, err, out] : cases) {
        const RunResult r = Qvx({"expand", "-m", "rle", "-s", size, "in.rle", "-"});
        EXPECT_EQ(r.Code, code) << size;
        EXPECT_EQ(r.Err, err) << size;
        EXPECT_EQ(r.Out, out) << size;
    }
}

TEST_F(CliTest, CodecCommandsNeverWriteOverTheirInput) {
    Write("f", "precious data");
    ASSERT_EQ(::link(Path("f").c_str(), Path("g").c_str()), 0);
    const std::vector<std::vector<std::string>> cases = {
        {"compress", "f", "f"}, {"compress", "f", "./g"}, {"expand", "-m", "rle", "f", "f"}};
    for (const auto& args : cases) {
        const RunResult r = Qvx(args);
        EXPECT_EQ(r.Code, 1) << args.back();
        EXPECT_EQ(r.Err, "qvx: " + args.back() + ": is the input file; refusing to write over it\n");
        EXPECT_EQ(Read("f"), "precious data");
    }
    EXPECT_EQ(Tree(), (std::vector<std::string>{"f", "g"}));
}

TEST_F(CliTest, CodecCommandsWriteToADeviceOrPipeInPlace) {
    Write("in", PseudoRandomText(5000, 4));
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    // A reader drains the pipe while qvx writes into it.
    const std::string command =
        "cd '" + dir_.string() + "' && (cat pipe > drained &) && '" QVX_BINARY "' compress in pipe && sleep 0.2";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
    const RunResult r = Qvx({"expand", "-m", "lh5", "-s", "5000", "drained", "-"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, Read("in"));
}

TEST_F(CliTest, BinaryOutputGoesToATerminalOnlyWithForce) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    Write("in", "some text to compress");
    ASSERT_EQ(Qvx({"compress", "in", "in.lh5"}).Code, 0);
    const std::string qvx = std::string("cd '") + dir_.string() + "' && '" QVX_BINARY "' ";
    const std::string toTerminal = " >'" + terminal + "' 2>err";
    for (const std::string& args : {std::string("compress in -"), std::string("expand -m lh5 -s 21 in.lh5 -")}) {
        EXPECT_NE(std::system((qvx + args + toTerminal).c_str()), 0) << args;
        EXPECT_EQ(Read("err"),
                  "qvx: standard output: refusing to write binary data to a terminal (use -f to write it anyway)\n")
            << args;
        EXPECT_EQ(std::system(
                      (qvx + "-q " + args.substr(0, args.find(' ')) + " -f" + args.substr(args.find(' ')) + toTerminal)
                          .c_str()),
                  0)
            << args;
    }
    ::close(master);
}

}  // namespace
}  // namespace qvx::cli::test
