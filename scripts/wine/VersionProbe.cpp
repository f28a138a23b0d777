// VersionProbe FILE: what Windows' own readers make of a program's resources, one line each:
//   fixed: FILEVERSION PRODUCTVERSION          (as a.b.c.d a.b.c.d)
//   translation: LLLLCCCC                      (every language and code page pair)
//   LLLLCCCC/Key: value                        (the usual strings of every pair, UTF-8)
//   icons: N                                   (ExtractIconEx's count of icon groups)
//   extracted: yes|no                          (whether it hands out the first icon)
// The Windows tests build it with mingw-w64 and run it under Wine on a branded setup file.
// Exit code 0 when the version information could be read, 1 otherwise.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text, UINT units) {
    if (units > 0 && text[units - 1] == L'\0') --units;
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 1;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(argv[1], &ignored);
    if (size == 0) return 1;
    std::vector<unsigned char> info(size);
    if (!::GetFileVersionInfoW(argv[1], 0, size, info.data())) return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) return 1;
    std::printf("fixed: %lu.%lu.%lu.%lu %lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
                HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                LOWORD(fixed->dwProductVersionLS));
    WORD* pairs = nullptr;
    if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &length))
        return 1;
    const wchar_t* keys[] = {L"CompanyName",  L"FileDescription", L"FileVersion",
                             L"InternalName", L"LegalCopyright",  L"OriginalFilename",
                             L"ProductName",  L"ProductVersion",  L"Comments"};
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
        wchar_t block[16];
        std::swprintf(block, 16, L"%04X%04X", pairs[i], pairs[i + 1]);
        std::printf("translation: %s\n", Utf8(block, static_cast<UINT>(wcslen(block))).c_str());
        for (const wchar_t* key : keys) {
            const std::wstring path = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + key;
            wchar_t* value = nullptr;
            UINT units = 0;
            if (::VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &units) &&
                value != nullptr)
                std::printf("%s/%s: %s\n", Utf8(block, 8).c_str(), Utf8(key, static_cast<UINT>(wcslen(key))).c_str(),
                            Utf8(value, units).c_str());
        }
    }
    std::printf("icons: %u\n", ::ExtractIconExW(argv[1], -1, nullptr, nullptr, 0));
    HICON large = nullptr;
    const UINT extracted = ::ExtractIconExW(argv[1], 0, &large, nullptr, 1);
    std::printf("extracted: %s\n", extracted == 1 && large != nullptr ? "yes" : "no");
    if (large != nullptr) ::DestroyIcon(large);
    return 0;
}
