#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "CliTestSupport.h"
#include "archive/SourceArchive.h"
#include "cli/ErrorReport.h"

namespace qvx::cli::test {
namespace {

std::string Text(std::size_t n) {
    std::string s;
    while (s.size() < n) s += "line " + std::to_string(s.size() % 613) + " of the data an installer carries\n";
    s.resize(n);
    return s;
}

std::string Bytes(const TMemoryStream& stream) { return std::string(stream.Data().begin(), stream.Data().end()); }

// The entries of the archive in memory, name to content, in order.
std::vector<std::pair<std::string, std::string>> Entries(TMemoryStream& archive) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::unique_ptr<TMemoryStream>> outs;
    TQuorvexCompress component;
    archive.SetPosition(0);
    WalkArchive(component, archive, [&](const ArchiveEntry& entry) -> TStream* {
        entries.emplace_back(entry.Name, "");
        outs.push_back(std::make_unique<TMemoryStream>());
        return outs.back().get();
    });
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].second = Bytes(*outs[i]);
    return entries;
}

// Source files written to the test's directory, as collected: Size is the content's, or size.
class SourceArchiveTest : public CliTest {
protected:
    std::vector<SourceFile> Files(const std::vector<std::pair<std::string, std::string>>& contents,
                                  const std::map<std::string, std::int64_t>& sizes = {}) {
        std::vector<SourceFile> files;
        for (const auto& [name, content] : contents) {
            Write(name, content);
            SourceFile file;
            file.Name = name;
            file.ShownName = name;
            file.Path = Path(name).string();
            file.Size = sizes.contains(name) ? sizes.at(name) : static_cast<std::int64_t>(content.size());
            files.push_back(file);
        }
        return files;
    }
};

TEST(OnlyEmptyFiles, IsTheLastFileOfTheArchiveOrderEmpty) {
    const struct {
        std::vector<std::int64_t> sizes;
        bool only;
    } cases[] = {{{}, false}, {{0}, true}, {{0, 0}, true}, {{0, 7}, false}, {{7}, false}};
    for (const auto& c : cases) {
        std::vector<SourceFile> files;
        for (std::int64_t size : c.sizes) {
            files.emplace_back();
            files.back().Size = size;
        }
        EXPECT_EQ(OnlyEmptyFiles(files), c.only) << c.sizes.size() << " files";
    }
}

// The same files give the same bytes however many workers compress them, every entry reads back
// as its file, and the events come file by file in archive order.
TEST_F(SourceArchiveTest, WritesTheFilesInOrderTheSameWithAnyNumberOfWorkers) {
    const std::vector<SourceFile> files =
        Files({{"empty", ""}, {"big.txt", Text(300000)}, {"small", "x"}, {"mid.txt", Text(40000)}});
    for (CompressMethod method : {cmNON, cmLZH, cmLH5}) {
        std::map<unsigned, std::string> archives;
        for (unsigned jobs : {1u, 3u}) {
            std::vector<std::string> events;
            SourceArchiveOptions options;
            options.Method = method;
            options.Jobs = jobs;
            options.Events.Adding = [&](const SourceFile& f) { events.push_back("+" + f.Name); };
            options.Events.Added = [&](const SourceFile& f) { events.push_back("=" + f.Name); };
            TMemoryStream archive;
            WriteSourceArchive(archive, files, options);
            archives[jobs] = Bytes(archive);
            const auto entries = Entries(archive);
            ASSERT_EQ(entries.size(), files.size());
            std::vector<std::string> expected;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                EXPECT_EQ(entries[i].first, files[i].Name);
                EXPECT_EQ(entries[i].second, Read(files[i].Name)) << entries[i].first;
                expected.push_back("+" + files[i].Name);
                expected.push_back("=" + files[i].Name);
            }
            EXPECT_EQ(events, expected) << "method " << int(method) << ", " << jobs << " jobs";
        }
        EXPECT_EQ(archives[1], archives[3]) << "method " << int(method);
    }
}

// A file that ends before the size it was collected with is refused by its path, with one worker
// or more; the entries before it were added, it was not. (One that grew is read to that size.)
TEST_F(SourceArchiveTest, AFileOfAnotherSizeThanCollectedHasChanged) {
    const struct {
        const char* what;
        std::size_t now;
        std::int64_t collected;
    } cases[] = {{"shrunk", 2000, 3000}, {"emptied", 0, 10}};
    for (const auto& c : cases) {
        for (unsigned jobs : {1u, 2u}) {
            const std::vector<SourceFile> files =
                Files({{"a", Text(500)}, {"changed", Text(c.now)}, {"z", Text(700)}}, {{"changed", c.collected}});
            std::vector<std::string> added;
            SourceArchiveOptions options;
            options.Jobs = jobs;
            options.Events.Added = [&](const SourceFile& f) { added.push_back(f.Name); };
            TMemoryStream archive;
            try {
                WriteSourceArchive(archive, files, options);
                ADD_FAILURE() << c.what << ": no error";
            } catch (const platform::FileError& e) {
                EXPECT_EQ(e.File(), Path("changed").string()) << c.what;
                EXPECT_STREQ(e.what(), "file changed while being archived") << c.what;
            }
            EXPECT_EQ(added, std::vector<std::string>{"a"}) << c.what << ", " << jobs << " jobs";
        }
    }
}

// Failed sees the library's error while the file is added and may raise its own in its place.
TEST_F(SourceArchiveTest, FailedMayReplaceALibraryError) {
    const std::vector<SourceFile> files = Files({{"a", Text(100)}});
    for (const bool replace : {false, true}) {
        std::vector<std::string> failed;
        SourceArchiveOptions options;
        options.Events.Progress = [](std::int32_t& percent) { percent = -1; };  // cancels the entry
        options.Events.Failed = [&](const SourceFile& f) {
            failed.push_back(f.Name);
            if (replace) throw std::runtime_error("replaced");
        };
        TMemoryStream archive;
        if (replace)
            EXPECT_THROW(WriteSourceArchive(archive, files, options), std::runtime_error);
        else
            EXPECT_THROW(WriteSourceArchive(archive, files, options), qvx::Exception);
        EXPECT_EQ(failed, std::vector<std::string>{"a"});
    }
}

TEST_F(SourceArchiveTest, WritesThroughATemporaryFileOnlyWhatWasWholeWritten) {
    int opened = 0;
    // A destination that records what it was given and outlives the call.
    std::string given;
    class Recorder final : public TStream {
    public:
        explicit Recorder(std::string& to) : to_(to) {}
        std::int32_t Read(void*, std::int32_t) override { return 0; }
        std::int32_t Write(const void* b, std::int32_t n) override {
            to_.append(static_cast<const char*>(b), static_cast<std::size_t>(n));
            return n;
        }
        std::int64_t Seek(std::int64_t, SeekOrigin) override { return -1; }

    private:
        std::string& to_;
    };
    const auto record = [&]() -> std::unique_ptr<TStream> {
        ++opened;
        return std::make_unique<Recorder>(given);
    };
    // The writing goes back to patch its start, as an archive's header is patched.
    WriteThroughTemporaryFile(
        "qvx-test",
        [](TStream& temp) {
            temp.WriteBuffer("xxxx-body", 9);
            temp.SetPosition(0);
            temp.WriteBuffer("head", 4);
        },
        record);
    EXPECT_EQ(given, "head-body");
    EXPECT_EQ(opened, 1);
    given.clear();
    EXPECT_THROW(WriteThroughTemporaryFile(
                     "qvx-test", [](TStream&) { throw std::runtime_error("failed"); }, record),
                 std::runtime_error);
    EXPECT_EQ(opened, 1);  // nothing reaches the destination of a failed writing
    EXPECT_EQ(given, "");
}

}  // namespace
}  // namespace qvx::cli::test
