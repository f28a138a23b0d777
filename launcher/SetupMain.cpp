// Entry point of the program Setup.
#ifdef _WIN32
#include <windows.h>
#endif

#include "MainSequence.h"
#include "Platform.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything else: DLLs are loaded from the system directory only, never from the
    // directory of a downloaded setup file.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#else
int main() {
#endif
    const auto platform = qvx::launcher::CreateSystemPlatform();
    return qvx::launcher::RunLauncher(*platform);
}
