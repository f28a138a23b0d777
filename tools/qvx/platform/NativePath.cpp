#include "NativePath.h"

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>

namespace qvx::platform {

namespace {

// CreateDirectoryW's limit: the 260 characters less room for an 8.3 file name.
constexpr std::size_t kShortPathLimit = 248;

}  // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring NativePath(const std::string& utf8) {
    std::wstring path = Widen(utf8);
    if (path.size() < kShortPathLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return path;
    full.resize(written);
    if (full.size() < kShortPathLimit) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

OwnedHandle::OwnedHandle(void* handle) noexcept : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}

OwnedHandle::~OwnedHandle() {
    if (handle_) ::CloseHandle(handle_);
}

void* OwnedHandle::Release() noexcept {
    void* handle = handle_;
    handle_ = nullptr;
    return handle;
}

int FromSystemError(std::uint32_t code) noexcept {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED: return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_NOT_SAME_DEVICE: return EXDEV;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        // A pipe whose reader has gone away: Windows says ERROR_NO_DATA to a write, Wine (writing
        // to a POSIX pipe) ERROR_PIPE_NOT_CONNECTED.
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED: return EPIPE;
        default: return -static_cast<int>(code);
    }
}

}  // namespace qvx::platform

#endif
