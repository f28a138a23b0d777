// LauncherFile on Windows: the wide file functions with "\\?\" names, CREATE_NEW together with
// FILE_FLAG_OPEN_REPARSE_POINT for new files (a name taken by anything, a dangling link included,
// fails with ERROR_FILE_EXISTS and nothing is followed), identities by volume serial number and
// file index, renaming and deleting through the file's own handle.
#ifdef _WIN32

#include <windows.h>

#include <cstring>

#include <instcompress/Exceptions.h>

#include "LauncherFile.h"
#include "WideText.h"

namespace qvx::launcher {

namespace {

constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;

HANDLE Handle(std::intptr_t handle) noexcept { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t Value(HANDLE handle) noexcept { return reinterpret_cast<std::intptr_t>(handle); }

// The name as the file system takes it: a full path gets the "\\?\" prefix ("\\?\UNC\" for a
// share), which turns off every rewriting of the name and the limit of 260 characters.
std::u16string SystemName(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
    const bool share = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.';
    std::u16string name = drive ? u"\\\\?\\" : share ? u"\\\\?\\UNC" : u"";
    name += WideFromText(share ? std::string_view(path).substr(1) : std::string_view(path));
    return name;
}

const wchar_t* Wide(const std::u16string& name) { return reinterpret_cast<const wchar_t*>(name.c_str()); }

// A plain file with one link, and its identity.
bool PlainFile(HANDLE h, std::uint64_t& volume, std::uint64_t& index) noexcept {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    volume = info.dwVolumeSerialNumber;
    index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return (info.dwFileAttributes & kNotPlain) == 0 && info.nNumberOfLinks == 1;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING,
            DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT) {
    return ::CreateFileW(Wide(SystemName(path)), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags,
                         nullptr);
}

}  // namespace

LauncherFile::LauncherFile(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}

LauncherFile::~LauncherFile() { Close(); }

bool LauncherFile::IsOpen() const noexcept { return Handle(handle_) != INVALID_HANDLE_VALUE; }

void LauncherFile::Close() noexcept {
    if (IsOpen()) ::CloseHandle(Handle(handle_));
    handle_ = Value(INVALID_HANDLE_VALUE);
}

std::unique_ptr<LauncherFile> LauncherFile::OpenReadShared(const std::string& path) {
    const HANDLE h = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (h == INVALID_HANDLE_VALUE) throw EFOpenError("Cannot open file " + path);
    return std::unique_ptr<LauncherFile>(new LauncherFile(path, Value(h)));
}

LauncherFile::CreateResult LauncherFile::CreateNew(const std::string& path, bool, std::unique_ptr<LauncherFile>& file) {
    const HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::Exists
                                                                           : CreateResult::Failed;
    }
    std::unique_ptr<LauncherFile> created(new LauncherFile(path, Value(h)));
    if (!PlainFile(h, created->volume_, created->index_)) {
        created->Remove();
        return CreateResult::Failed;
    }
    file = std::move(created);
    return CreateResult::Created;
}

LauncherFile::Kind LauncherFile::Probe(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(SystemName(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::Absent : Kind::Other;
    }
    return (attributes & kNotPlain) == 0 ? Kind::File : Kind::Other;
}

std::int32_t LauncherFile::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::ReadFile(Handle(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int32_t LauncherFile::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::WriteFile(Handle(handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
    return static_cast<std::int32_t>(n);
}

std::int64_t LauncherFile::Seek(std::int64_t offset, SeekOrigin origin) {
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(Handle(handle_), distance, &result, method)) return -1;
    return result.QuadPart;
}

bool LauncherFile::Seal() {
    // The file was created unshared, so the name cannot be opened again before it is closed.
    Close();
    // Read access for the checks and the start, delete access for renaming and removing it
    // through this handle; others may only read.
    const HANDLE h = Open(path_, GENERIC_READ | DELETE, FILE_SHARE_READ);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    if (!PlainFile(h, volume, index) || volume != volume_ || index != index_) {
        ::CloseHandle(h);
        return false;
    }
    handle_ = Value(h);
    return true;
}

bool LauncherFile::MoveTo(const std::string& path) {
    if (!IsOpen()) return false;
    const std::u16string name = SystemName(path);
    // The record with the name in place of its one-character FileName, in a buffer of UTF-16 units
    // (longer than a string keeps inline, so allocated and aligned for the record).
    std::u16string buffer(sizeof(FILE_RENAME_INFO) / sizeof(char16_t) + name.size(), u'\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.data(), info->FileNameLength);
    if (!::SetFileInformationByHandle(Handle(handle_), FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size() * sizeof(char16_t))))
        return false;
    path_ = path;
    return true;
}

void LauncherFile::Remove() noexcept {
    try {
        if (!IsOpen()) {
            // Reopened for deleting only while the name still denotes this file.
            const HANDLE h =
                Open(path_, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            if (h == INVALID_HANDLE_VALUE) return;
            handle_ = Value(h);
            std::uint64_t volume = 0;
            std::uint64_t index = 0;
            if (!PlainFile(h, volume, index) || volume != volume_ || index != index_) {
                Close();
                return;
            }
        }
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        ::SetFileInformationByHandle(Handle(handle_), FileDispositionInfo, &disposition, sizeof disposition);
    } catch (...) {
        // Out of memory for the name: the file stays.
    }
    Close();
}

}  // namespace qvx::launcher

#endif  // _WIN32
