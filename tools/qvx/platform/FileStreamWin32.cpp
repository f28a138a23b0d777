#include "FileStream.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <random>

#include "FileSystem.h"
#include "NativePath.h"

namespace qvx::platform {

namespace {

constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::string RandomSuffix() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kAlphabet[pick(device)];
    return suffix;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

int FileStream::Open(const std::string& path, OpenMode mode, std::unique_ptr<FileStream>& out) {
    const std::wstring native = NativePath(path);
    DWORD access = GENERIC_READ;
    // Readers let other readers in and the file be renamed or deleted (a virus scanner looks in).
    DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (mode) {
        case OpenMode::Read: flags |= FILE_FLAG_SEQUENTIAL_SCAN; break;
        case OpenMode::WriteExisting:
            access = GENERIC_WRITE;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE;
            break;
        case OpenMode::CreateNew:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_NEW;
            break;
    }
    // A file another process holds fails at once with a sharing violation; nothing waits.
    OwnedHandle h(::CreateFileW(native.c_str(), access, share, nullptr, disposition, flags, nullptr));
    if (!h.Valid()) {
        const int error = LastError();
        if (error == EACCES && mode != OpenMode::CreateNew && IsDirectory(native)) return EISDIR;
        return error;
    }
    out = std::make_unique<FileStream>(h.Release(), true, path);
    return 0;
}

int FileStream::CreateTemporary(const std::string& directory, const std::string& prefix, std::string& path,
                                std::unique_ptr<FileStream>& out) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "\\" + prefix + RandomSuffix();
        const int error = Open(path, OpenMode::CreateNew, out);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

int FileStream::CreateAnonymous(const std::string& prefix, std::unique_ptr<FileStream>& out) {
    // The system removes the file when the handle closes, whatever ends the process.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryDirectory() + "\\" + prefix + "-" + RandomSuffix();
        const std::wstring path = NativePath(name);
        OwnedHandle h(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (h.Valid()) {
            out = std::make_unique<FileStream>(h.Release(), true, name);
            return 0;
        }
        const int error = LastError();
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

std::unique_ptr<FileStream> FileStream::Standard(StandardStream which) {
    const DWORD id = which == StandardStream::Input    ? STD_INPUT_HANDLE
                     : which == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                       : STD_ERROR_HANDLE;
    static constexpr const char* kNames[] = {"standard input", "standard output", "standard error"};
    return std::make_unique<FileStream>(::GetStdHandle(id), false, kNames[static_cast<int>(which)]);
}

FileStream::~FileStream() {
    if (owns_ && native_ != nullptr && native_ != INVALID_HANDLE_VALUE) ::CloseHandle(native_);
}

std::int32_t FileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD n = 0;
    if (!::ReadFile(native_, buffer, static_cast<DWORD>(count), &n, nullptr)) {
        // The end of a pipe (ERROR_BROKEN_PIPE) is the end of the stream.
        const DWORD code = ::GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;
        throw StreamFailure(name_, FromSystemError(code));
    }
    return static_cast<std::int32_t>(n);
}

std::int32_t FileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!::WriteFile(native_, bytes + done, static_cast<DWORD>(count - done), &n, nullptr))
            throw StreamFailure(name_, LastError());
        if (n == 0) throw StreamFailure(name_, EIO);
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    if (::GetFileType(native_) != FILE_TYPE_DISK) return -1;
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER result{};
    if (!::SetFilePointerEx(native_, distance, &result, method)) return -1;
    return result.QuadPart;
}

bool FileStream::IsRegularFile() const noexcept { return ::GetFileType(native_) == FILE_TYPE_DISK; }

bool FileStream::IsTerminal() const noexcept {
    DWORD mode = 0;
    return ::GetConsoleMode(native_, &mode) != 0;
}

int FileStream::SetAttributes(unsigned, std::uint32_t attributes, std::optional<std::time_t> modificationTime) {
    FILE_BASIC_INFO info{};  // zero times stay as they are
    if (modificationTime)
        info.LastWriteTime.QuadPart = static_cast<std::int64_t>(*modificationTime) * 10000000 + kEpochDifference;
    const DWORD kept =
        attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    info.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(native_, FileBasicInfo, &info, sizeof info)) return LastError();
    return 0;
}

int FileStream::Flush() { return ::FlushFileBuffers(native_) ? 0 : LastError(); }

bool IsTerminal(StandardStream which) noexcept {
    const DWORD id = which == StandardStream::Input    ? STD_INPUT_HANDLE
                     : which == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                       : STD_ERROR_HANDLE;
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(id), &mode) != 0;
}

}  // namespace qvx::platform
