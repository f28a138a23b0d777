// qvx's own input and output: what the first bytes decide, archives and setup files read from a
// pipe as from the file, standard output on a full device or a closed pipe, a full file system,
// and names that carry control characters.
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "setup/ElfTestFiles.h"

namespace qvx::cli::test {
namespace {

class CliStreams : public CliTest {
protected:
    // An archive of many small entries (its listing is far larger than a pipe holds), one of them
    // large.
    void WriteBigArchive() {
        std::vector<RawEntry> entries;
        for (int i = 0; i < 3000; ++i) entries.push_back(StoredEntry("dir\\entry" + std::to_string(i), "data"));
        entries.push_back(StoredEntry("large.bin", PseudoRandomText(300000, 9)));
        Write("big.spis", BuildArchive(entries));
    }
};

// Neither an archive's nor a program's first bytes: "not an archive", at once, from a file, a pipe
// or a device; an endless pipe ("yes") ends with it.
TEST_F(CliStreams, FirstBytesThatAreNoArchiveAreRefusedAtOnce) {
    Write("empty", "");
    Write("short", "SPIS");
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"yes |", "-"}, {"", "/dev/zero"}, {"", "/dev/urandom"}, {"", "empty"}, {"cat short |", "-"}, {"", "/dev/null"},
    };
    for (const auto& [feed, name] : inputs) {
        for (const std::string command : {"list", "test", "cat", "extract -C out"}) {
            const std::string args = command + " " + name + (command == "cat" ? " x" : "");
            const RunResult r = Sh(feed + " timeout 20 \"$QVX\" " + args);
            EXPECT_EQ(r.Code, 1) << feed << args;
            EXPECT_EQ(r.Out, "") << feed << args;
            EXPECT_EQ(r.Err, "qvx: " + name + ": not an archive\n") << feed << args;
        }
        for (const std::string command : {"setup info", "setup test"}) {
            const RunResult r = Sh(feed + " timeout 20 \"$QVX\" " + command + " " + name);
            EXPECT_EQ(r.Err, "qvx: " + name + ": not a setup file\n") << feed << command;
        }
    }
    EXPECT_FALSE(Exists("out"));
}

// Every reading command gives from a pipe what it gives from the file, with nothing copied aside;
// a pipe cut inside an entry's stored bytes is a truncated archive, and the JSON listing says so.
TEST_F(CliStreams, PipeReadsAsTheFileDoes) {
    Write("src/a.txt", PseudoRandomText(40000, 1));
    Write("src/sub/b.bin", PseudoRandomText(90000, 2));
    Write("src/c.txt", "c");
    ASSERT_EQ(Qvx({"-q", "create", "-C", "src", "a.spis", "."}).Code, 0);
    const struct {
        std::string File, Pipe;
    } cases[] = {
        {"list a.spis", "list -"},
        {"list --json a.spis", "list --json -"},
        {"test a.spis", "test -"},
        {"cat a.spis sub/b.bin c.txt", "cat - sub/b.bin c.txt"},
        {"extract -v -C out a.spis", "extract -v -C out -"},
    };
    for (const auto& c : cases) {
        const RunResult file = Sh("rm -rf out; \"$QVX\" -q " + c.File);
        // Nothing is copied aside: there is no temporary directory to copy to.
        const RunResult pipe = Sh("rm -rf out; cat a.spis | TMPDIR=/nonexistent \"$QVX\" -q " + c.Pipe);
        EXPECT_EQ(file.Code, 0) << c.File << file.Err;
        EXPECT_EQ(pipe.Code, 0) << c.Pipe << pipe.Err;
        std::string expected = file.Out;
        if (c.File.starts_with("list --json")) expected.replace(expected.find("\"a.spis\""), 8, "\"-\"");
        EXPECT_EQ(pipe.Out, expected) << c.Pipe;
    }
    EXPECT_EQ(Read("out/sub/b.bin"), Read("src/sub/b.bin"));
    EXPECT_EQ(Tree("out").size(), 4u);

    const std::string bytes = Read("a.spis");
    Write("cut.spis", bytes.substr(0, bytes.size() - 10));
    // The file names the sizes; a pipe cannot tell how many bytes were left, but names the same fault.
    const std::string pastEnd = "stored bytes run past the end of the archive";
    RunResult r = Sh("\"$QVX\" list cut.spis");
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.Err.starts_with("qvx: cut.spis: " + pastEnd + ": stored size ")) << r.Err;
    r = Sh("cat cut.spis | \"$QVX\" list -");
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: -: " + pastEnd + "\n");
    r = Sh("cat cut.spis | \"$QVX\" list --json -");
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(nlohmann::json::parse(r.Out)["error"], pastEnd);
    r = Sh("cat cut.spis | \"$QVX\" test -");
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find("; archive is truncated\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find(pastEnd), std::string::npos) << r.Err;
    r = Sh("cat cut.spis | \"$QVX\" cat - c.txt");
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find(pastEnd), std::string::npos) << r.Err;
}

// Standard output on a full device: every printing command says so and fails, as coreutils do.
TEST_F(CliStreams, FullStandardOutputFails) {
    Write("a.spis", BuildArchive({StoredEntry("one", "1"), StoredEntry("two", "2")}));
    Write("f", "x");
    for (const std::string args : {"list a.spis", "list --json a.spis", "test a.spis", "cat a.spis two",
                                   "extract -v -C out a.spis", "help", "--version", "compress f -", "create - f"}) {
        const RunResult r = Sh("\"$QVX\" -q " + args + " >/dev/full");
        EXPECT_EQ(r.Code, 1) << args;
        EXPECT_EQ(r.Err, "qvx: standard output: No space left on device\n") << args;
    }
    // Started with standard output closed: what is written fails, and lands in no file opened
    // meanwhile; nothing to write is no failure.
    RunResult r = Sh("\"$QVX\" extract -v -C closed a.spis >&-");
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "qvx: standard output: Bad file descriptor\n");
    EXPECT_EQ(Read("closed/one"), "1");
    r = Sh("\"$QVX\" -q extract -f -C closed a.spis >&-");
    EXPECT_EQ(r.Code, 0) << r.Err;
}

// A reader that goes away ends qvx quietly, as SIGPIPE ends coreutils (the shell sees 141).
TEST_F(CliStreams, ClosedPipeEndsQuietly) {
    WriteBigArchive();
    for (const std::string args : {"list big.spis", "list --json big.spis", "cat big.spis large.bin"}) {
        const RunResult r = Sh("\"$QVX\" -q " + args + " | head -c 10 >/dev/null; echo ${PIPESTATUS[0]}");
        EXPECT_EQ(r.Out, "141\n") << args;
        EXPECT_EQ(r.Err, "") << args;
    }
}

// A full file system: the message names the file being written and the system's reason, and no
// temporary file is left. Each case runs in its own mount namespace on a 64 KB tmpfs; a user
// namespace lets an ordinary user mount it too, so the case runs for root and non-root alike.
TEST_F(CliStreams, FullDiskNamesTheFileWritten) {
    ASSERT_EQ(Sh("mkdir -p src && head -c 400000 /dev/urandom >src/big.bin").Code, 0);  // no method shrinks it
    Write("src/small.txt", "small");
    ASSERT_EQ(Qvx({"-q", "create", "-m", "non", "-C", "src", "a.spis", "."}).Code, 0);
    ASSERT_EQ(Qvx({"-q", "compress", "src/big.bin", "big.lh5"}).Code, 0);
    // A plain launcher stand-in (an ELF image with the unpatched size marker) and an engine.
    std::vector<std::uint8_t> launcher = ElfHeaderBytes(1024);
    launcher.resize(600, 0);
    for (const char c : std::string("QVX_") + "SIZE" + "XXXX") launcher.push_back(static_cast<std::uint8_t>(c));
    launcher.resize(1024, 0);
    Write("launcher", launcher);
    Write("engine", PseudoRandomText(3000, 5));
    std::filesystem::create_directory(Path("full"));
    // Runs a script with "full" a small tmpfs; what the script writes to standard output is its own.
    const auto onFullDisk = [&](const std::string& script) {
        return Sh(
            "export QVX; unshare --user --map-root-user --mount sh -c 'mount -t tmpfs -o size=64k tmpfs full || exit "
            "99; " +
            script + "'");
    };
    const RunResult probe = onFullDisk("true");
    if (probe.Code == 99 || probe.Code == 1)  // unshare or mount refused: no namespaces here
        GTEST_SKIP() << "no mount namespace for a small tmpfs (" << probe.Err << "): the full-disk case is not run";
    ASSERT_EQ(probe.Code, 0) << probe.Err;
    const struct {
        std::string Args;
        std::string File;
    } cases[] = {
        {"create full/out.spis -C src .", "full/out.spis"},
        {"extract -C full a.spis big.bin", "full/big.bin"},
        {"compress -m lzh src/big.bin full/big.lzh", "full/big.lzh"},
        {"expand -m lh5 -s 400000 big.lh5 full/big.bin", "full/big.bin"},
        {"setup build -l launcher -e engine -d src -o full/setup", "full/setup"},
    };
    for (const auto& c : cases) {
        // qvx -q writes nothing to standard output; ls then shows what was left on the full disk.
        const RunResult r = onFullDisk("\"$QVX\" -q " + c.Args + "; code=$?; ls -A full; exit $code");
        EXPECT_EQ(r.Code, 1) << c.Args;
        EXPECT_EQ(r.Err, "qvx: " + c.File + ": No space left on device\n") << c.Args;
        EXPECT_EQ(r.Out, "") << c.Args;
    }
}

// Control characters in names reach neither the terminal nor an error message as they are;
// patterns match the stored name, never its shown form; JSON escapes them its own way.
TEST_F(CliStreams, ControlCharactersInNamesAreShownInCaretNotation) {
    Write("a.spis", BuildArchive({StoredEntry("red\x1B[31m.txt", "1"), StoredEntry("bell\a\r.txt", "2")}));
    RunResult r = Qvx({"list", "a.spis"});
    EXPECT_NE(r.Out.find("  red^[[31m.txt\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("  bell^G^M.txt\n"), std::string::npos) << r.Out;
    r = Qvx({"test", "a.spis"});
    EXPECT_EQ(r.Out, "OK      red^[[31m.txt\nOK      bell^G^M.txt\nAll 2 entries OK\n");
    r = Qvx({"list", "--json", "a.spis", "red\x1B*"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\"name\": \"red\\u001b[31m.txt\""), std::string::npos) << r.Out;
    r = Qvx({"list", "a.spis", "red^[[31m.txt"});
    EXPECT_EQ(r.Err, "qvx: a.spis: red^[[31m.txt: no such entry\n");
    r = Qvx({"extract", "-C", "out", "a.spis"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err,
              "qvx: a.spis: red^[[31m.txt: refused unsafe entry name (control character 0x1B in name)\n"
              "qvx: a.spis: bell^G^M.txt: refused unsafe entry name (control character 0x07 in name)\n");
}

// The raw codecs read a pipe or a named pipe to its end, as they read the file, with the same
// bytes and the same verdicts.
TEST_F(CliStreams, CodecsReadPipesAsFiles) {
    Write("in.txt", PseudoRandomText(100000, 4));
    ASSERT_EQ(Qvx({"-q", "compress", "in.txt", "file.lh5"}).Code, 0);
    RunResult r =
        Sh("export TMPDIR=/nonexistent; cat in.txt | \"$QVX\" -q compress - pipe.lh5 && mkfifo fifo && (cat in.txt "
           ">fifo &) && "
           "\"$QVX\" -q compress -m lh5 -j 2 fifo fifo.lh5");
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Read("pipe.lh5"), Read("file.lh5"));
    EXPECT_EQ(Read("fifo.lh5"), Read("file.lh5"));
    r = Sh("cat file.lh5 | \"$QVX\" -q expand -m lh5 -s 100000 - out.txt");
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Read("out.txt"), Read("in.txt"));
    for (const std::string size : {"99999", "100001"}) {
        const RunResult file = Sh("\"$QVX\" -q expand -m lh5 -s " + size + " file.lh5 x");
        const RunResult pipe = Sh("cat file.lh5 | \"$QVX\" -q expand -m lh5 -s " + size + " - x");
        EXPECT_EQ(pipe.Code, 1) << size;
        EXPECT_EQ(pipe.Err, "qvx: -: " + file.Err.substr(file.Err.find(": ", 5) + 2)) << size;
    }
    r = Sh("\"$QVX\" expand -m lh5 -s 10 /dev/zero x");
    EXPECT_EQ(r.Err, "qvx: /dev/zero: stream holds more than 10 bytes (-s); nothing written\n");
    EXPECT_FALSE(Exists("x"));
}

}  // namespace
}  // namespace qvx::cli::test
