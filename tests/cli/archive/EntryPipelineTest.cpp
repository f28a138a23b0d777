#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>
#include <instcompress/RunCodec.h>

#include "CliTestSupport.h"
#include "CodecEngine.h"
#include "archive/EntryPipeline.h"
#include "platform/FileError.h"

namespace qvx::cli::test {
namespace {

using EntryPipelineTest = CliTest;

std::string Noise(std::size_t n, std::uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return s;
}

std::string Text(std::size_t n) {
    std::string s;
    while (s.size() < n) s += "line " + std::to_string(s.size() % 977) + " of the installer's read-me text\n";
    s.resize(n);
    return s;
}

// The data a prepared entry stands for.
std::string Expand(EntryPipeline::Result& r) {
    TMemoryStream out;
    if (r.Entry.Method == cmNON) {
        out.CopyFrom(*r.Data, r.Entry.StoredSize);
    } else {
        TQuorvexCompress component;
        std::uint32_t checksum = 0;
        RunCodec(component, out, *r.Data, r.Entry.StoredSize, r.Entry.ExpandedSize, r.Entry.Method, checksum, true);
        EXPECT_EQ(checksum, r.Entry.Checksum);
    }
    return std::string(out.Data().begin(), out.Data().end());
}

TEST_F(EntryPipelineTest, EntriesComeInOrderWhateverFinishesFirst) {
    // Large and small files mixed, so later small ones finish before earlier large ones; the files
    // above 256 KiB wait in temporary files, the others in memory.
    std::vector<std::string> contents = {
        Text(600000), "a",        Noise(300000, 1), "", Text(20000), Noise(10, 2), Text(280000),
        "bc",         Text(5000), Noise(70000, 3)};
    std::vector<EntryPipeline::Job> jobs;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::string name = "f" + std::to_string(i);
        Write(name, contents[i]);
        jobs.push_back({name, Path(name).string(), static_cast<std::int64_t>(contents[i].size())});
    }
    // Temporary files go to a directory of the test's own, which must stay empty.
    std::filesystem::create_directory(Path("tmp"));
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    ::setenv("TMPDIR", Path("tmp").c_str(), 1);
    for (CompressMethod method : {cmLH5, cmLZH}) {
        EntryPipeline pipeline(jobs, method, 3);
        for (std::size_t i = 0; i < contents.size(); ++i) {
            EntryPipeline::Result r = pipeline.Take();
            EXPECT_EQ(r.SourceEnd, jobs[i].Size) << i;
            EXPECT_EQ(r.Entry.ExpandedSize, jobs[i].Size) << i;
            EXPECT_EQ(Expand(r), contents[i]) << "entry " << i << " method " << int(method);
        }
        EXPECT_EQ(Tree("tmp"), std::vector<std::string>{});  // temporary files have no names
    }
    if (oldTmp != nullptr)
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST_F(EntryPipelineTest, AFailureWaitsForItsTurnAndOthersGoOn) {
    Write("a", Text(1000));
    Write("c", Text(2000));
    std::vector<EntryPipeline::Job> jobs = {
        {"a", Path("a").string(), 1000}, {"b", Path("missing").string(), 10}, {"c", Path("c").string(), 2000}};
    EntryPipeline pipeline(jobs, cmLH5, 2);
    EntryPipeline::Result first = pipeline.Take();
    EXPECT_EQ(Expand(first), Text(1000));
    EXPECT_THROW(pipeline.Take(), platform::FileError);  // the missing file, with the system's reason
    EntryPipeline::Result third = pipeline.Take();
    EXPECT_EQ(Expand(third), Text(2000));
    EXPECT_THROW(pipeline.Take(), std::logic_error);  // nothing left
}

TEST_F(EntryPipelineTest, AFileShorterThanListedShowsWhereReadingEnded) {
    Write("short", Text(3000));
    EntryPipeline pipeline({{"short", Path("short").string(), 3100}, {"x", Path("short").string(), 3000}}, cmLH5, 2);
    EntryPipeline::Result r = pipeline.Take();
    EXPECT_EQ(r.SourceEnd, 3000);
}

TEST_F(EntryPipelineTest, TakeShowsTheProgressOfTheEntryItWaitsFor) {
    // LZH on 4 MB takes well over the 100 ms between two reports, in every build.
    Write("big", Text(4 << 20));
    EntryPipeline pipeline({{"big", Path("big").string(), 4 << 20}}, cmLZH, 1);
    std::vector<std::int32_t> seen;
    EntryPipeline::Result r = pipeline.Take([&](std::int32_t p) { seen.push_back(p); });
    ASSERT_FALSE(seen.empty());
    for (std::size_t k = 0; k < seen.size(); ++k) {
        EXPECT_GE(seen[k], 0);
        EXPECT_LE(seen[k], 100);
        if (k > 0) {
            EXPECT_GE(seen[k], seen[k - 1]);
        }
    }
    EXPECT_EQ(Expand(r), Text(4 << 20));
}

TEST_F(CliTest, CreateGivesTheSameArchiveWithAnyNumberOfJobs) {
    Write("src/big.txt", Text(700000));
    Write("src/noise.bin", Noise(400000, 7));
    Write("src/empty", "");
    Write("src/d/small", "tiny");
    Write("src/d/text", Text(90000));
    Write("src/d/more", Noise(1000, 8) + Text(50000));
    for (const char* method : {"lh5", "lzh"}) {
        ASSERT_EQ(Qvx({"create", "-m", method, "-j", "1", "-C", "src", "one.spis", "."}).Code, 0);
        ASSERT_EQ(Qvx({"create", "-m", method, "-j", "4", "-C", "src", "four.spis", "."}).Code, 0);
        ASSERT_EQ(Qvx({"create", "-m", method, "-C", "src", "default.spis", "."}).Code, 0);
        EXPECT_EQ(Read("four.spis"), Read("one.spis")) << method;
        EXPECT_EQ(Read("default.spis"), Read("one.spis")) << method;
        EXPECT_EQ(Qvx({"test", "four.spis"}).Code, 0);
    }
    EXPECT_NE(Qvx({"create", "-j", "0", "zero.spis", "src"}).Code, 0);
    EXPECT_FALSE(Exists("zero.spis"));
}

TEST_F(CliTest, ALargeLh5FileIsSearchedOnTheIdleWorkersWithTheSameBytes) {
    // Just above the 2 MiB from which an LH5 entry takes the idle workers' threads; alone (the
    // writer compresses it itself) and among small files (a worker does).
    const std::string big = Text(1 << 20) + Noise(100000, 9) + Text(1100000);
    Write("alone/big", big);
    Write("tree/big", big);
    Write("tree/a", Text(3000));
    Write("tree/b", Noise(5000, 10));
    for (const char* dir : {"alone", "tree"}) {
        SCOPED_TRACE(dir);
        ASSERT_EQ(Qvx({"create", "-j", "1", "-C", dir, "one.spis", "."}).Code, 0);
        ASSERT_EQ(Qvx({"create", "-j", "3", "-C", dir, "three.spis", "."}).Code, 0);
        EXPECT_EQ(Read("three.spis"), Read("one.spis"));
        EXPECT_EQ(Qvx({"test", "three.spis"}).Code, 0);
    }
}

}  // namespace
}  // namespace qvx::cli::test
