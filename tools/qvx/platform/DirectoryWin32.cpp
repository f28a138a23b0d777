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
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ELOOP;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    std::wstring final = FinalPath(h.Get());
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
    status.Type = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileType::SymbolicLink
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? FileType::Directory
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

// Renames the open file to name inside the directory (relative to the directory's handle).
DWORD RenameByHandle(HANDLE file, HANDLE directory, const std::wstring& name, bool replace) {
    const std::size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(size, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = directory;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(size)) ? 0 : ::GetLastError();
}

// The attributes of what name is in the directory, the link itself for a link; INVALID_FILE_ATTRIBUTES
// when there is nothing.
DWORD ChildAttributes(const std::wstring& path) {
    const OwnedHandle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kAnyShare, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.Valid() || !::GetFileInformationByHandle(h.Get(), &info)) return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
}

// Sets the attributes of the file at path (never through a link).
bool SetChildAttributes(const std::wstring& path, DWORD attributes) {
    const OwnedHandle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kAnyShare, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.Valid()) return false;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return ::SetFileInformationByHandle(h.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

}  // namespace

int TemporaryFile::CommitAs(const std::string& target, bool replace) {
    const HANDLE file = stream_->NativeHandle();
    const std::wstring name = Widen(target);
    DWORD code = RenameByHandle(file, directory_->NativeHandle(), name, replace);
    if (code == ERROR_ACCESS_DENIED) {
        const std::wstring path = directory_->final_ + L"\\" + name;
        const DWORD attributes = ChildAttributes(path);
        const bool plainFile = attributes != INVALID_FILE_ATTRIBUTES &&
                               (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        // Replacing a read-only file: as on POSIX, the directory decides, not the file's attribute.
        if (replace && plainFile && (attributes & FILE_ATTRIBUTE_READONLY) &&
            SetChildAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY)) {
            code = RenameByHandle(file, directory_->NativeHandle(), name, replace);
            if (code != 0) SetChildAttributes(path, attributes);
        }
        // A link in the way is replaced itself, never what it leads to.
        if (code != 0 && replace && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(path.c_str())
                                                                         : ::DeleteFileW(path.c_str());
            if (removed) code = RenameByHandle(file, directory_->NativeHandle(), name, replace);
        }
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            return EISDIR;
    }
    if (code != 0) return FromSystemError(code);
    committed_ = true;
    registration_.Release();
    stream_.reset();
    return 0;
}

}  // namespace qvx::platform
