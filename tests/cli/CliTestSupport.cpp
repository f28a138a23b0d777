#include "CliTestSupport.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

namespace qvx::cli::test {

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

RawEntry StoredEntry(std::string name, const std::string& data) {
    RawEntry e;
    e.Name = std::move(name);
    e.Stored.assign(data.begin(), data.end());
    e.ExpandedSize = static_cast<std::int32_t>(data.size());
    e.Checksum = ByteSum(e.Stored.data(), e.Stored.size());
    return e;
}

RawEntry BadChecksumRleEntry(std::string name, std::uint8_t count) {
    RawEntry e;
    e.Name = std::move(name);
    e.Method = cmRLE;
    e.Stored = {'A', 0x94, count};
    e.ExpandedSize = count;
    e.Checksum = count * 'A' + 1u;
    return e;
}

std::vector<std::uint8_t> BuildArchive(const std::vector<RawEntry>& entries, const char* methodId) {
    ArchiveHeader header;
    header.Magic = kArchiveMagic;
    for (int i = 0; i < 3; ++i) header.MethodId[static_cast<std::size_t>(i)] = methodId[i];
    header.ArchiveType = caMulti;
    for (const RawEntry& e : entries) header.TotalSize += e.ExpandedSize;
    const auto h = header.Encode();
    std::vector<std::uint8_t> out(h.begin(), h.end());
    for (const RawEntry& e : entries) {
        EntryHeader eh;
        eh.NameLength = static_cast<std::int16_t>(e.Name.size());
        eh.FileTime = e.Time;
        eh.FileDate = e.Date;
        eh.Attributes = e.Attributes;
        eh.ExpandedSize = e.ExpandedSize;
        eh.StoredSize = static_cast<std::int32_t>(e.Stored.size());
        eh.MethodIndex = MethodIndex(e.Method);
        eh.Checksum = e.Checksum;
        const auto b = eh.Encode();
        out.insert(out.end(), b.begin(), b.end());
        out.insert(out.end(), e.Name.begin(), e.Name.end());
        out.insert(out.end(), e.Stored.begin(), e.Stored.end());
    }
    return out;
}

void CliTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "qvx-cli-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
}

void CliTest::TearDown() {
    std::error_code ec;
    // Read-only files and directories do not stop the removal for root, but do for others.
    for (const auto& e : fs::recursive_directory_iterator(dir_, ec))
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

RunResult CliTest::Qvx(const std::vector<std::string>& args, const std::string& stdinFile) const {
    return Run({}, args, stdinFile);
}

RunResult CliTest::QvxWithEnvironment(const std::vector<std::string>& environment,
                                      const std::vector<std::string>& args) const {
    return Run(environment, args, "");
}

RunResult CliTest::Sh(const std::string& script) const {
    Write("script.sh", "QVX='" + std::string(QVX_BINARY) + "'\n" + script + "\n");
    const std::string command = "cd '" + dir_.string() + "' && bash script.sh >sh.out 2>sh.err";
    const int status = std::system(command.c_str());
    RunResult r;
    r.Code = WEXITSTATUS(status);
    r.Out = Read("sh.out");
    r.Err = Read("sh.err");
    return r;
}

RunResult CliTest::Run(const std::vector<std::string>& environment, const std::vector<std::string>& args,
                       const std::string& stdinFile) const {
    // Built by appending only: GCC 12 warns falsely about "literal" + std::string at -O3.
    const fs::path out = dir_.parent_path() / (dir_.filename().string() + ".stdout");
    const fs::path err = dir_.parent_path() / (dir_.filename().string() + ".stderr");
    std::string command = "cd ";
    // SOURCE_DATE_EPOCH of the build machine would clamp the times the tests check.
    command.append(Quote(dir_.string())).append(" && env -u SOURCE_DATE_EPOCH");
    for (const auto& v : environment) command.append(1, ' ').append(Quote(v));
    command.append(1, ' ').append(Quote(QVX_BINARY));
    for (const auto& a : args) command.append(1, ' ').append(Quote(a));
    command.append(" >").append(Quote(out.string())).append(" 2>").append(Quote(err.string()));
    command.append(" <").append(stdinFile.empty() ? std::string("/dev/null") : Quote(stdinFile));
    const int status = std::system(command.c_str());
    RunResult r;
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

void CliTest::Write(const std::string& relative, const std::string& data) const {
    const fs::path p = dir_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
}

void CliTest::Write(const std::string& relative, const std::vector<std::uint8_t>& data) const {
    Write(relative, Bytes(data));
}

std::string CliTest::Read(const std::string& relative) const { return Slurp(dir_ / relative); }

bool CliTest::Exists(const std::string& relative) const {
    std::error_code ec;
    return fs::symlink_status(dir_ / relative, ec).type() != fs::file_type::not_found;
}

std::vector<std::string> CliTest::Tree(const std::string& relative) const {
    std::vector<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / relative))
        paths.push_back(fs::relative(e.path(), dir_).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string PseudoRandomText(std::size_t size, std::uint32_t seed) {
    static const char* kWords[] = {"setup ", "archive ", "window ", "the ", "of ", "Quorvex ", "data\r\n", "0x1A "};
    std::string s;
    std::uint32_t x = seed;
    while (s.size() < size) {
        x = x * 1664525u + 1013904223u;
        if ((x >> 28) == 0)
            s += static_cast<char>(x >> 20);
        else
            s += kWords[(x >> 24) % 8];
    }
    s.resize(size);
    return s;
}

}  // namespace qvx::cli::test
