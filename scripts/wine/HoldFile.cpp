// HoldFile FILE READY RELEASE: opens FILE for reading and writing without sharing it with anyone,
// creates the file READY to say so, and keeps FILE open until the file RELEASE appears (at most
// 60 s). The Wine session of qvx builds it with mingw-w64 to show a file in use by another
// process. Exit code 0 after a release, 1 when FILE could not be opened, 2 on a time-out.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 1;
    HANDLE held = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = ::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
    int status = 2;
    for (int waited = 0; waited < 60000; waited += 50) {
        if (::GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES) {
            status = 0;
            break;
        }
        ::Sleep(50);
    }
    ::CloseHandle(held);
    return status;
}
