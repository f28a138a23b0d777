#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "Exceptions.h"
#include "FileStream.h"

namespace qvx {

TFileStream::TFileStream(const std::string& path, FileMode mode) : path_(path) {
    DWORD access = GENERIC_READ;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case FileMode::ReadShared: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
        case FileMode::ReadExclusive: break;
        case FileMode::Create: access = GENERIC_READ | GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    }
    HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (mode == FileMode::Create) throw EFCreateError("Cannot create file " + path);
        throw EFOpenError("Cannot open file " + path);
    }
    handle_ = h;
}

TFileStream::~TFileStream() {
    if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::WriteFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(static_cast<HANDLE>(handle_), distance, &result, method)) return -1;
    return result.QuadPart;
}

}  // namespace qvx

#endif  // _WIN32
