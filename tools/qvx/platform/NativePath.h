// NativePath (Windows only): the system boundary of the Windows platform files. UTF-8 <-> UTF-16,
// paths in the form the wide functions take, and Win32 error codes as this layer's error numbers.
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::platform {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The path for the wide file functions: as given (either separator, drive letters, UNC paths),
// unless it is too long for them; such a path is made absolute and gets the \\?\ prefix
// (\\?\UNC\ for \\server\share), which lifts the 260-character limit.
std::wstring NativePath(const std::string& utf8);

// A Win32 error code as an error number of this layer: its errno counterpart where one matches,
// otherwise the code negated.
int FromSystemError(std::uint32_t code) noexcept;

// A file handle closed with its owner; INVALID_HANDLE_VALUE (a failed open) holds nothing.
class OwnedHandle {
public:
    explicit OwnedHandle(void* handle) noexcept;
    ~OwnedHandle();
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    bool Valid() const noexcept { return handle_ != nullptr; }
    void* Get() const noexcept { return handle_; }
    void* Release() noexcept;

private:
    void* handle_;
};

}  // namespace qvx::platform

#endif
