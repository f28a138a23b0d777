#include "FileSystem.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <string>

#include "NativePath.h"

namespace qvx::platform {

namespace {

// A directory search, ended with its owner.
class Search {
public:
    explicit Search(HANDLE h) noexcept : handle_(h) {}
    ~Search() {
        if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::time_t ToTime(const FILETIME& ft) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) - kEpochDifference;
    const std::int64_t seconds = ticks >= 0 ? ticks / 10000000 : -((-ticks + 9999999) / 10000000);
    return static_cast<std::time_t>(seconds);
}

// The texts of the POSIX tool for the errno values this layer gives, so that both systems show
// the same words for the same fault.
const char* PosixText(int error) {
    switch (error) {
        case ENOENT: return "No such file or directory";
        case EACCES: return "Permission denied";
        case EBUSY: return "File is in use by another program";  // a sharing violation
        case EEXIST: return "File exists";
        case ENOTDIR: return "Not a directory";
        case EISDIR: return "Is a directory";
        case ENOSPC: return "No space left on device";
        case ENOMEM: return "Cannot allocate memory";
        case EIO: return "Input/output error";
        case EROFS: return "Read-only file system";
        case EXDEV: return "Invalid cross-device link";
        case ENOTEMPTY: return "Directory not empty";
        case ENAMETOOLONG: return "File name too long";
        case EPIPE: return "Broken pipe";
        case EINVAL: return "Invalid argument";
        default: return nullptr;
    }
}

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Clears a file's read-only attribute; true when it had it.
bool ClearReadOnly(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    return ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

int LastError() noexcept { return FromSystemError(::GetLastError()); }

std::string ErrorText(int error) {
    if (error >= 0) {
        if (const char* text = PosixText(error)) return text;
        return "Error " + std::to_string(error);
    }
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(-error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0 || buffer == nullptr) return "System error " + std::to_string(-error);
    std::wstring text(buffer, n);
    ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return Narrow(text);
}

int GetStatus(const std::string& path, FileStatus& status, Links links) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (links == Links::DoNotFollow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const OwnedHandle h(::CreateFileW(NativePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      flags, nullptr));
    if (!h.Valid()) return LastError();
    status = FileStatus{};
    if (::GetFileType(h.Get()) != FILE_TYPE_DISK) {
        status.Type = FileType::Other;  // a device (NUL, CON) or a pipe
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info)) return LastError();
    const DWORD attributes = info.dwFileAttributes;
    status.Type = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::Directory : FileType::Regular;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && links == Links::DoNotFollow) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (::GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &tag, sizeof tag) &&
            (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT))
            status.Type = FileType::SymbolicLink;
    }
    status.Size = static_cast<std::int64_t>(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    status.ModificationTime = ToTime(info.ftLastWriteTime);
    status.ReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    status.Executable = false;
    status.Attributes = attributes & kKeptAttributes;
    status.Device = info.dwVolumeSerialNumber;
    status.Identity = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return 0;
}

int CheckWritable(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(NativePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return EACCES;
    return 0;
}

int ListDirectory(const std::string& path, std::vector<std::string>& names) {
    std::string pattern = path.empty() ? std::string(".") : path;
    if (pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW data{};
    const Search find(::FindFirstFileExW(NativePath(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
    names.clear();
    if (!find.Valid()) {
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(NativePath(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return FromSystemError(code);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
        return code == ERROR_FILE_NOT_FOUND ? 0 : FromSystemError(code);  // an empty drive root
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (::FindNextFileW(find.Get(), &data));
    const DWORD code = ::GetLastError();
    return code == ERROR_NO_MORE_FILES ? 0 : FromSystemError(code);
}

int MakeDirectory(const std::string& path) {
    return ::CreateDirectoryW(NativePath(path).c_str(), nullptr) ? 0 : LastError();
}

int RemoveFile(const std::string& path) {
    const std::wstring native = NativePath(path);
    if (::DeleteFileW(native.c_str())) return 0;
    const DWORD code = ::GetLastError();
    // A read-only file is deleted only once the attribute is gone.
    if (code == ERROR_ACCESS_DENIED && ClearReadOnly(native) && ::DeleteFileW(native.c_str())) return 0;
    return FromSystemError(code);
}

int RenameFile(const std::string& from, const std::string& to, bool replace) {
    const std::wstring source = NativePath(from);
    const std::wstring target = NativePath(to);
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return 0;
    DWORD code = ::GetLastError();
    // Replacing a read-only file: as on POSIX, the directory decides, not the file's attribute.
    if (replace && code == ERROR_ACCESS_DENIED && ClearReadOnly(target)) {
        if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return 0;
        code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            ::SetFileAttributesW(target.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
    }
    if (code == ERROR_ACCESS_DENIED) {
        // A directory in the way: the same answer as rename() gives.
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
        // A file another process holds open without letting it be deleted.
        const OwnedHandle probe(::CreateFileW(target.c_str(), DELETE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!probe.Valid() && ::GetLastError() == ERROR_SHARING_VIOLATION) return EBUSY;
    }
    return FromSystemError(code);
}

std::string TemporaryDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring dir(buffer, n > MAX_PATH + 1 ? 0 : n);
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    return dir.empty() ? std::string(".") : Narrow(dir);
}

unsigned DefaultFileMode() { return 0666u; }

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(Widen(utf8)); }

std::string Utf8Path(const std::filesystem::path& path) { return Narrow(path.native()); }

}  // namespace qvx::platform
