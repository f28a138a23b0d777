// Setup.exe runs on one thread from start to end and starts none. The runtime's exception support
// still calls a few thread primitives (the lock of the exception allocator's emergency pool, and
// the keys and once-flag of the thread-local storage behind the exception globals); with the
// thread library's own versions the program would carry that whole library, about a quarter of its
// size. These are those primitives for a program with one thread: a lock that never waits (no
// other thread can hold it), a once-flag, and keys whose values are plain variables. A key's
// destructor would run when a thread other than the main one ends; none does, and the process
// ends with the main thread.
#ifdef _WIN32

#include <pthread.h>

#include <array>
#include <cerrno>

namespace {

// Keys the runtime may create: the thread-local storage support takes one.
constexpr unsigned kKeyCapacity = 8;

struct Keys {
    std::array<const void*, kKeyCapacity> values{};
    unsigned used = 0;
};

Keys& TheKeys() noexcept {
    static Keys keys;
    return keys;
}

}  // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* m, const pthread_mutexattr_t*) {
    *m = 0;
    return 0;
}
int pthread_mutex_destroy(pthread_mutex_t*) { return 0; }
int pthread_mutex_lock(pthread_mutex_t*) { return 0; }
int pthread_mutex_unlock(pthread_mutex_t*) { return 0; }

int pthread_once(pthread_once_t* once, void (*func)(void)) {
    if (*once == PTHREAD_ONCE_INIT) {
        *once = 1;
        func();
    }
    return 0;
}

int pthread_key_create(pthread_key_t* key, void (*)(void*)) {
    Keys& keys = TheKeys();
    if (keys.used == kKeyCapacity) return EAGAIN;
    *key = keys.used++;
    return 0;
}
void* pthread_getspecific(pthread_key_t key) {
    const Keys& keys = TheKeys();
    return key < keys.used ? const_cast<void*>(keys.values[key]) : nullptr;
}
int pthread_setspecific(pthread_key_t key, const void* value) {
    Keys& keys = TheKeys();
    if (key >= keys.used) return EINVAL;
    keys.values[key] = value;
    return 0;
}

}  // extern "C"

#endif  // _WIN32
