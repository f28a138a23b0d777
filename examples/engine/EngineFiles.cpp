#include "EngineFiles.h"

#include <algorithm>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#endif

namespace qvx::example {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Creates one directory; false when it neither could be created nor exists already.
bool MakeDirectory(const std::string& path) {
#ifdef _WIN32
    if (::CreateDirectoryA(path.c_str(), nullptr) != 0) return true;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

// Calls visit(name, isDirectory) for every entry of the directory but "." and "..".
template <typename Visit>
void ForEachEntry(const std::string& directory, Visit visit) {
#ifdef _WIN32
    WIN32_FIND_DATAA data{};
    HANDLE h = ::FindFirstFileA((directory + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error(directory + ": cannot read the directory");
    struct Closer {
        HANDLE h;
        ~Closer() { ::FindClose(h); }
    } closer{h};
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (::FindNextFileA(h, &data) != 0);
#else
    DIR* d = ::opendir(directory.c_str());
    if (d == nullptr) throw std::runtime_error(directory + ": cannot read the directory");
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{d};
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::lstat((directory + "/" + name).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) visit(name, S_ISDIR(st.st_mode));
    }
#endif
}

void CollectFiles(const std::string& directory, const std::string& prefix, std::vector<std::string>& names) {
    ForEachEntry(directory, [&](const std::string& name, bool isDirectory) {
        if (isDirectory)
            CollectFiles(directory + kPathSeparator + name, prefix + name + "\\", names);
        else
            names.push_back(prefix + name);
    });
}

}  // namespace

void CreateDirectories(const std::string& path) {
    // Every prefix that ends before a separator, then the whole path; a prefix that is a root
    // ("/", "C:", "\\server\share") exists already or cannot be made, and is not checked.
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        if (IsSeparator(path[i - 1])) continue;
        const std::string prefix = path.substr(0, i);
        const bool isRoot = prefix.size() == 2 && prefix[1] == ':';
        if (!MakeDirectory(prefix) && !isRoot && i == path.size())
            throw std::runtime_error(prefix + ": cannot create the directory");
    }
}

std::vector<std::string> ListFiles(const std::string& root) {
    std::vector<std::string> names;
    CollectFiles(root, "", names);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qvx::example
