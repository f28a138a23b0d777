// Helpers of the qvx end-to-end tests: a temporary working directory per test, running the built
// qvx binary in it, and hand-made archives.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <instcompress/ArchiveFormat.h>

namespace qvx::cli::test {

struct RunResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

// Bytes of one entry of a hand-made archive; StoredSize follows Stored unless set explicitly.
struct RawEntry {
    std::string Name;
    CompressMethod Method = cmNON;
    std::vector<std::uint8_t> Stored;
    std::int32_t ExpandedSize = 0;
    std::uint32_t Checksum = 0;
    std::uint16_t Attributes = 0x20;
    std::uint16_t Time = (12 << 11) | (34 << 5) | 28;  // 12:34:56
    std::uint16_t Date = (44 << 9) | (5 << 5) | 17;    // 2024-05-17
};

// A NON entry holding data, with its byte sum as the checksum.
RawEntry StoredEntry(std::string name, const std::string& data);
// An RLE entry expanding to `count` (3..255) bytes 'A' whose stored checksum is off by one.
RawEntry BadChecksumRleEntry(std::string name, std::uint8_t count);
// An archive of the entries; TotalSize is the sum of their expanded sizes.
std::vector<std::uint8_t> BuildArchive(const std::vector<RawEntry>& entries, const char* methodId = "NON");

class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs qvx with the arguments in the test's directory; stdinFile (relative) feeds its input.
    RunResult Qvx(const std::vector<std::string>& args, const std::string& stdinFile = "") const;
    // The same with variables set in qvx's environment ("TZ=Asia/Tokyo").
    RunResult QvxWithEnvironment(const std::vector<std::string>& environment,
                                 const std::vector<std::string>& args) const;
    // Runs a bash script in the test directory, $QVX the tool (for pipes: "cat f | \"$QVX\" list -");
    // returns the script's status and output.
    RunResult Sh(const std::string& script) const;

    std::filesystem::path Path(const std::string& relative) const { return dir_ / relative; }
    void Write(const std::string& relative, const std::string& data) const;
    void Write(const std::string& relative, const std::vector<std::uint8_t>& data) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Every path below the test directory, relative, sorted.
    std::vector<std::string> Tree(const std::string& relative = "") const;

    std::filesystem::path dir_;

private:
    RunResult Run(const std::vector<std::string>& environment, const std::vector<std::string>& args,
                  const std::string& stdinFile) const;
};

std::string Bytes(const std::vector<std::uint8_t>& v);
std::string PseudoRandomText(std::size_t size, std::uint32_t seed);

}  // namespace qvx::cli::test
