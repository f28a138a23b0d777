#include <instcompress/CodecSettings.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <thread>
#endif

namespace qvx {

void YieldTimeSlice() {
#ifdef _WIN32
    ::Sleep(0);
#else
    std::this_thread::yield();
#endif
}

}  // namespace qvx
