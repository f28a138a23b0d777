#include "Directory.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <random>
#include <vector>

#include "NativePath.h"

namespace qvx::platform {

namespace {

// Directories are held without FILE_SHARE_DELETE: while the handle is open nobody can rename or
// remove the directory, so a path through it keeps leading to it.
constexpr DWORD kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t NextRandom(std::uint64_t& state) noexcept {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string RandomSuffix(std::uint64_t& state) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t bits = NextRandom(state);
    std::string suffix;
    for (int i = 0; i < 8; ++i, bits /= 36) suffix += kAlphabet[bits % 36];
    return suffix;
}

// The path the system gives for an open handle (\\?\C:\... or \\?\UNC\...); empty on failure.
std::wstring FinalPath(HANDLE h) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

// Whether two paths name the same place, compared as the file systems compare names.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Whether what was opened at path (with FILE_FLAG_OPEN_REPARSE_POINT) is a link: a reparse point,
// or a file the system places elsewhere (Wine opens what a link of the POSIX side points to and
// shows no reparse point on the handle, but its final path is the link's target).
bool IsLink(DWORD attributes, const std::wstring& final, const std::wstring& path) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || (!final.empty() && !SamePath(final, path));
}

// An absolute \\?\ path for a path given by the user, for when the system gives no final path.
std::wstring AbsolutePath(const std::string& path) {
    std::wstring native = NativePath(path);
    if (native.rfind(L"\\\\?\\", 0) == 0) return native;
    const DWORD n = ::GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
    if (n == 0) return native;
    std::wstring full(n, L'\0');
    const DWORD written = ::GetFullPathNameW(native.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return native;
    full.resize(written);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Marks an open file for deletion when its handle closes (a read-only attribute is dropped first).
void DeleteOnClose(HANDLE file) noexcept {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

Directory::Directory(Native native, std::string path, std::wstring finalPath)
    : native_(native), path_(std::move(path)), final_(std::move(finalPath)) {}

Directory::~Directory() {
    if (native_ != nullptr && native_ != INVALID_HANDLE_VALUE) ::CloseHandle(native_);
}

int Directory::Open(const std::string& path, std::shared_ptr<Directory>& out) {
    OwnedHandle h(::CreateFileW(NativePath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kHeldShare,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Valid()) return LastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info)) return LastError();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    std::wstring final = FinalPath(h.Get());
    if (final.empty()) final = AbsolutePath(path);
    out.reset(new Directory(h.Release(), path, std::move(final)));
    out->seed_ = (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    return 0;
}

std::string ChildPathOf(const std::string& path, const std::string& name) {
    if (path.empty()) return name;
    const char last = path.back();
    return last == '\\' || last == '/' || last == ':' ? path + name : path + "\\" + name;
}

int Directory::OpenChild(const std::string& name, bool create, std::shared_ptr<Directory>& out, bool* created) {
    if (created) *created = false;
    const std::wstring path = final_ + L"\\" + Widen(name);
    const auto open = [&path] {
        return ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kHeldShare, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE opened = open();
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (!create || (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)) return FromSystemError(code);
        if (::CreateDirectoryW(path.c_str(), nullptr)) {
            if (created) *created = true;
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return LastError();
        }
        opened = open();
        if (opened == INVALID_HANDLE_VALUE) return LastError();
    }
    OwnedHandle h(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info)) return LastError();
    std::wstring final = FinalPath(h.Get());
    if (IsLink(info.dwFileAttributes, final, path)) return ELOOP;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    if (final.empty()) final = path;
    out.reset(new Directory(h.Release(), ChildPath(name), std::move(final)));
    out->seed_ = NextRandom(seed_);
    return 0;
}

int Directory::ChildStatus(const std::string& name, FileStatus& status) const {
    const std::wstring path = final_ + L"\\" + Widen(name);
    const OwnedHandle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kAnyShare, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.Valid()) return LastError();
    status = FileStatus{};
    if (::GetFileType(h.Get()) != FILE_TYPE_DISK) {
        status.Type = FileType::Other;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info)) return LastError();
    const DWORD attributes = info.dwFileAttributes;
    status.Type = IsLink(attributes, FinalPath(h.Get()), path) ? FileType::SymbolicLink
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)    ? FileType::Directory
                                                               : FileType::Regular;
    status.Size = static_cast<std::int64_t>(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    status.ReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    status.Device = info.dwVolumeSerialNumber;
    status.Identity = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return 0;
}

int Directory::RemoveChildDirectory(const std::string& name) const {
    const std::wstring path = final_ + L"\\" + Widen(name);
    return ::RemoveDirectoryW(path.c_str()) ? 0 : LastError();
}

int Directory::CreateTemporary(const std::string& prefix, std::unique_ptr<TemporaryFile>& out) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + RandomSuffix(seed_);
        const std::wstring path = final_ + L"\\" + Widen(name);
        OwnedHandle h(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.Valid()) {
            const int error = LastError();
            if (error == EEXIST) continue;
            return error;
        }
        TemporaryFiles::Registration registration = TemporaryFiles::Add(h.Get());
        // The file must be where it was asked for: in this directory, reached by no link.
        const std::wstring final = FinalPath(h.Get());
        if (!final.empty() && !SamePath(final, path)) {
            DeleteOnClose(h.Get());
            return ELOOP;
        }
        out = std::make_unique<TemporaryFile>(shared_from_this(), name, std::make_unique<FileStream>(h.Release(), true),
                                              std::move(registration));
        return 0;
    }
    return EEXIST;
}

TemporaryFile::TemporaryFile(std::shared_ptr<Directory> directory, std::string name, std::unique_ptr<FileStream> stream,
                             TemporaryFiles::Registration registration) noexcept
    : directory_(std::move(directory)),
      name_(std::move(name)),
      stream_(std::move(stream)),
      registration_(std::move(registration)) {}

TemporaryFile::~TemporaryFile() {
    if (!committed_) Remove();
}

void TemporaryFile::Remove() noexcept {
    if (stream_) DeleteOnClose(stream_->NativeHandle());
    registration_.Release();
    stream_.reset();
}

int TemporaryFile::Sync() { return stream_->Flush(); }

int TemporaryFile::SetAttributes(unsigned mode, std::uint32_t attributes, std::optional<std::time_t> modificationTime) {
    return stream_->SetAttributes(mode, attributes, modificationTime);
}

namespace {

// Renames the open file to path (a \\?\ path in a held directory), through the file's handle, so
// that the file renamed is the one written.
DWORD RenameByHandle(HANDLE file, const std::wstring& path, bool replace) {
    // The system takes the name as it is: the form of the object manager (\??\C:\...).
    std::wstring name = path;
    if (name.rfind(L"\\\\?\\", 0) == 0) name = L"\\??\\" + name.substr(4);
    const std::size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(size, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(size)) ? 0 : ::GetLastError();
}

// Clears or sets the read-only attribute of the file at path (never through a link).
bool SetReadOnly(const std::wstring& path, bool readOnly) {
    const OwnedHandle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kAnyShare, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
    FILE_BASIC_INFO basic{};
    if (!h.Valid() || !::GetFileInformationByHandleEx(h.Get(), FileBasicInfo, &basic, sizeof basic)) return false;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = basic.LastWriteTime.QuadPart =
        basic.ChangeTime.QuadPart = 0;  // zero: kept as they are
    basic.FileAttributes =
        readOnly ? (basic.FileAttributes | FILE_ATTRIBUTE_READONLY) : (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(h.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

}  // namespace

int TemporaryFile::CommitAs(const std::string& target, bool replace) {
    const HANDLE file = stream_->NativeHandle();
    const std::wstring path = directory_->final_ + L"\\" + Widen(target);
    DWORD code = RenameByHandle(file, path, replace);
    FileStatus st;
    if (code != 0 && replace && directory_->ChildStatus(target, st) == 0) {
        if (st.Type == FileType::Directory) return EISDIR;
        if (st.Type == FileType::Regular && st.ReadOnly && code == ERROR_ACCESS_DENIED) {
            // Replacing a read-only file: as on POSIX, the directory decides, not the file's attribute.
            if (SetReadOnly(path, false)) {
                code = RenameByHandle(file, path, replace);
                if (code != 0) SetReadOnly(path, true);
            }
        } else if (st.Type == FileType::SymbolicLink || st.Type == FileType::Other) {
            // A link, or a FIFO or device of the POSIX side under Wine: the entry itself is removed
            // (never what it leads to) and the file takes its place.
            if (::DeleteFileW(path.c_str()) || ::RemoveDirectoryW(path.c_str()))
                code = RenameByHandle(file, path, replace);
        }
    }
    if (code != 0) return FromSystemError(code);
    committed_ = true;
    registration_.Release();
    stream_.reset();
    return 0;
}

}  // namespace qvx::platform
