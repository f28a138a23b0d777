// Helpers shared by the library tests: archive byte builders, streams that misbehave in controlled
// ways, and a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <instcompress/ArchiveFormat.h>
#include <instcompress/Exceptions.h>
#include <instcompress/MemoryStream.h>
#include <instcompress/Stream.h>

namespace qvx::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline std::uint32_t Sum(const Bytes& b) { return ByteSum(b.data(), b.size()); }

inline void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

inline void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The 21 header bytes, written field by field (independently of ArchiveHeader::Encode).
inline Bytes HeaderBytes(std::string_view methodId, std::int32_t totalSize, std::uint8_t archiveType = 1,
                         std::string_view magic = std::string_view("SPIS\x1A", 5)) {
    Bytes b(magic.begin(), magic.end());
    b.insert(b.end(), methodId.begin(), methodId.end());
    Put32(b, static_cast<std::uint32_t>(totalSize));
    b.push_back(archiveType);
    Put32(b, 0);
    Put32(b, 0);
    return b;
}

// One entry as stored: header fields, name and stored bytes.
struct TestEntry {
    std::string Name;
    CompressMethod Method = cmNON;
    Bytes Stored;
    std::int64_t ExpandedSize = kAuto;  // kAuto: the size of Stored; any other value is written as is
    std::int64_t StoredSize = kAuto;    // kAuto: the size of Stored
    std::uint32_t Checksum = 0;
    std::uint16_t FileTime = 0;
    std::uint16_t FileDate = 0;
    std::uint16_t Attributes = 0x20;
    std::int32_t NameLength = -1;  // -1: the size of Name

    static constexpr std::int64_t kAuto = INT64_MIN;
    std::int64_t Expanded() const {
        return ExpandedSize == kAuto ? static_cast<std::int64_t>(Stored.size()) : ExpandedSize;
    }
    std::int64_t StoredField() const {
        return StoredSize == kAuto ? static_cast<std::int64_t>(Stored.size()) : StoredSize;
    }
};

inline Bytes EntryBytes(const TestEntry& e) {
    Bytes b;
    Put16(b, static_cast<std::uint16_t>(e.NameLength < 0 ? static_cast<std::int32_t>(e.Name.size()) : e.NameLength));
    Put16(b, e.FileTime);
    Put16(b, e.FileDate);
    Put16(b, e.Attributes);
    Put32(b, static_cast<std::uint32_t>(e.Expanded()));
    Put32(b, static_cast<std::uint32_t>(e.StoredField()));
    b.push_back(MethodIndex(e.Method));
    Put32(b, e.Checksum);
    Put32(b, 0);
    b.insert(b.end(), e.Name.begin(), e.Name.end());
    Append(b, e.Stored);
    return b;
}

// A NON entry whose stored bytes are its data.
inline TestEntry StoredEntry(std::string name, std::string_view data) {
    TestEntry e;
    e.Name = std::move(name);
    e.Stored = ToBytes(data);
    e.Checksum = Sum(e.Stored);
    return e;
}

// An RLE entry: stored RLE bytes and the data they expand to.
inline TestEntry RleEntry(std::string name, Bytes rle, const Bytes& expanded) {
    TestEntry e;
    e.Name = std::move(name);
    e.Method = cmRLE;
    e.Stored = std::move(rle);
    e.ExpandedSize = static_cast<std::int32_t>(expanded.size());
    e.Checksum = Sum(expanded);
    return e;
}

// A whole archive. TotalSize defaults to the sum of the entries' expanded sizes.
inline Bytes ArchiveBytes(std::string_view methodId, const std::vector<TestEntry>& entries,
                          std::int64_t totalSize = TestEntry::kAuto) {
    std::int64_t total = 0;
    Bytes body;
    for (const auto& e : entries) {
        total += e.Expanded();
        Append(body, EntryBytes(e));
    }
    Bytes b = HeaderBytes(methodId, static_cast<std::int32_t>(totalSize == TestEntry::kAuto ? total : totalSize));
    Append(b, body);
    return b;
}

// A read/write memory stream that records every Read and Write request, can deliver reads in
// pieces of at most PieceSize bytes, and can fail writes once FailWritesAfter bytes are written.
class ProbeStream final : public TStream {
public:
    ProbeStream() = default;
    explicit ProbeStream(Bytes data) : data_(std::move(data)) {}

    std::int32_t PieceSize = 0x7FFFFFFF;
    std::int64_t FailWritesAfter = -1;  // -1: writes never fail
    std::vector<std::int32_t> ReadRequests;
    std::vector<std::int32_t> WriteSizes;

    std::int32_t Read(void* buffer, std::int32_t count) override {
        ReadRequests.push_back(count);
        const auto size = static_cast<std::int64_t>(data_.size());
        if (count <= 0 || position_ >= size) return 0;
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>({count, PieceSize, size - position_}));
        std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }

    std::int32_t Write(const void* buffer, std::int32_t count) override {
        WriteSizes.push_back(count);
        if (count <= 0) return 0;
        std::int32_t n = count;
        if (FailWritesAfter >= 0) {
            const std::int64_t room = std::max<std::int64_t>(0, FailWritesAfter - written_);
            n = static_cast<std::int32_t>(std::min<std::int64_t>(count, room));
        }
        const auto end = static_cast<std::size_t>(position_ + n);
        if (end > data_.size()) data_.resize(end);
        if (n > 0) std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(n));
        position_ += n;
        written_ += n;
        return n;
    }

    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
        std::int64_t base = origin == SeekOrigin::Begin     ? 0
                            : origin == SeekOrigin::Current ? position_
                                                            : static_cast<std::int64_t>(data_.size());
        position_ = std::max<std::int64_t>(0, base + offset);
        return position_;
    }

    const Bytes& Data() const noexcept { return data_; }
    std::int64_t Pos() const noexcept { return position_; }

private:
    Bytes data_;
    std::int64_t position_ = 0;
    std::int64_t written_ = 0;
};

// A stream whose every write fails (delivers 0 bytes).
class FailingWriteStream final : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return 0; }
};

// A directory of its own under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("qvx-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                            std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    std::string Path(std::string_view name) const { return (path_ / name).string(); }

    std::string Write(std::string_view name, const Bytes& data) const {
        const std::string p = Path(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return p;
    }

    static Bytes ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

// Runs f and returns the message of the exception of type E it raises (fails the test otherwise).
template <typename E, typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception: " << e.what();
        return {};
    }
    ADD_FAILURE() << "no exception raised";
    return {};
}

}  // namespace qvx::test
