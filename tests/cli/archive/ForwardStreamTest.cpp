// TForwardStream: reads joined across a pipe's short reads, looking ahead without moving, moving
// forward only, the end met by a move, and the size limit; and the archive walk over it, which
// must see what it sees over the same bytes as a file.
#include <gtest/gtest.h>

#include <algorithm>

#include <instcompress/ArchiveWalker.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/QuorvexCompress.h>

#include "CliTestSupport.h"
#include "platform/FileError.h"
#include "archive/ForwardStream.h"

namespace qvx::cli::test {
namespace {

// A pipe: hands out the bytes at most three at a time, and cannot seek.
class TTricklingStream final : public TStream {
public:
    explicit TTricklingStream(std::string data) : data_(std::move(data)) {}
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const auto n = std::min<std::size_t>({static_cast<std::size_t>(count), 3, data_.size() - at_});
        std::copy_n(data_.data() + at_, n, static_cast<char*>(buffer));
        at_ += n;
        return static_cast<std::int32_t>(n);
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return -1; }

private:
    std::string data_;
    std::size_t at_ = 0;
};

TForwardStream Forward(const std::string& data, std::int64_t limit = TForwardStream::kLimit) {
    return TForwardStream(std::make_unique<TTricklingStream>(data), "in", limit);
}

std::string Text(std::span<const std::uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ForwardStream, ReadsWholePiecesPeeksAndMovesForwardOnly) {
    TForwardStream in = Forward("0123456789abcdef");
    EXPECT_EQ(in.Size(), -1);
    EXPECT_EQ(Text(in.Peek(5)), "01234");
    EXPECT_EQ(in.Position(), 0);
    char buffer[8] = {};
    ASSERT_EQ(in.Read(buffer, 7), 7);  // three short reads of the source joined
    EXPECT_EQ(std::string(buffer, 7), "0123456");
    EXPECT_EQ(in.Seek(3, SeekOrigin::Current), 10);
    EXPECT_EQ(in.Seek(9, SeekOrigin::Begin), -1);  // back: refused, nothing moves
    EXPECT_EQ(in.Seek(0, SeekOrigin::End), -1);
    EXPECT_EQ(in.Position(), 10);
    EXPECT_EQ(Text(in.Peek(100)), "abcdef");
    EXPECT_FALSE(in.MovedPastEnd());
    EXPECT_EQ(in.Seek(20, SeekOrigin::Begin), 16);  // meets the end
    EXPECT_TRUE(in.MovedPastEnd());
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.Read(buffer, 8), 0);
}

// An input of exactly the limit passes; one byte more is refused with the limit named, however it
// is met (read, looked ahead at, moved past, or asked whether it ends).
TEST(ForwardStream, InputPastTheLimitIsRefused) {
    char buffer[16];
    TForwardStream exact = Forward(std::string(10, 'x'), 10);
    EXPECT_EQ(exact.Read(buffer, 16), 10);
    EXPECT_TRUE(exact.AtEnd());
    const std::function<void(TForwardStream&)> ways[] = {
        [&](TForwardStream& s) { s.Read(buffer, 16); },
        [](TForwardStream& s) { s.Peek(16); },
        [](TForwardStream& s) { s.Seek(16, SeekOrigin::Begin); },
        [&](TForwardStream& s) {
            s.Read(buffer, 10);
            s.AtEnd();
        },
    };
    for (const auto& way : ways) {
        TForwardStream over = Forward(std::string(11, 'x'), 10);
        try {
            way(over);
            ADD_FAILURE() << "no error past the limit";
        } catch (const platform::FileError& e) {
            EXPECT_EQ(e.File(), "in");
            EXPECT_EQ(std::string(e.what()),
                      "input larger than 10 bytes: sizes in the format are signed 32-bit (at most 2 GiB - 1)");
        }
    }
}

// The walk over an archive read forward sees the entries the walk over the file sees; a stream
// that ends within the header reads as an empty archive, as a short file does.
TEST(ForwardStream, ArchiveWalkMatchesTheFile) {
    const std::string archive = Bytes(
        BuildArchive({StoredEntry("a", "one"), StoredEntry("dir\\b", std::string(70000, 'b')), StoredEntry("c", "3")}));
    for (const std::string& bytes : {archive, archive.substr(0, 20), std::string()}) {
        std::vector<std::string> seen[2];
        TMemoryStream file(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        TForwardStream forward = Forward(bytes);
        TStream* streams[] = {&file, &forward};
        for (int i = 0; i < 2; ++i) {
            TQuorvexCompress component;
            WalkArchive(component, *streams[i], [&](const ArchiveEntry& e) -> TStream* {
                seen[i].push_back(e.Name + "@" + std::to_string(e.DataOffset));
                return nullptr;
            });
        }
        EXPECT_EQ(seen[1], seen[0]) << bytes.size();
        EXPECT_EQ(seen[0].size(), bytes.size() == archive.size() ? 3u : 0u);
    }
}

}  // namespace
}  // namespace qvx::cli::test
