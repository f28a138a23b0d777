#include "FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <system_error>

#include "PosixFileStatus.h"

namespace qvx::platform {

namespace {

struct DirectoryCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

}  // namespace

int LastError() noexcept { return errno; }

std::string ErrorText(int error) { return std::generic_category().message(error); }

int GetStatus(const std::string& path, FileStatus& status, Links links) {
    struct stat st {};
    const int result = links == Links::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (result != 0) return errno;
    status = StatusFromStat(st);
    return 0;
}

int CheckWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0 ? 0 : errno; }

int ListDirectory(const std::string& path, std::vector<std::string>& names) {
    const std::unique_ptr<DIR, DirectoryCloser> dir(::opendir(path.c_str()));
    if (!dir) return errno;
    names.clear();
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) return errno;
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
}

int MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int RenameFile(const std::string& from, const std::string& to, bool replace) {
    if (replace) return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
    // A hard link fails with EEXIST when the target exists, atomically.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // File systems without hard links: check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string TemporaryDirectory() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

unsigned DefaultFileMode() {
    // Read once: the tool never changes its umask, and reading it means setting it twice.
    static const unsigned mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666u & ~static_cast<unsigned>(mask);
    }();
    return mode;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(utf8); }

std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

}  // namespace qvx::platform
