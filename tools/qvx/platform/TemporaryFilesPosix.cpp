#include "TemporaryFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace qvx::platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kNameCapacity = 256;

enum SlotState : int { kFree = 0, kFilling = 1, kLive = 2 };

struct Slot {
    std::atomic<int> State{kFree};
    int Directory = -1;
    char Name[kNameCapacity] = {};
};

// The table the signal handler reads. Lock-free atomics only, so that the handler may read it
// whatever the interrupted code was doing.
struct Table {
    Slot Slots[TemporaryFiles::kSlots];
    struct sigaction Previous[sizeof kSignals / sizeof kSignals[0]] = {};
    bool Installed[sizeof kSignals / sizeof kSignals[0]] = {};
};

static_assert(std::atomic<int>::is_always_lock_free);

Table& TheTable() noexcept {
    static Table table;
    return table;
}

// Async-signal-safe: unlinkat, sigaction, sigprocmask and raise only.
extern "C" void RemoveTemporariesAndRaise(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : TheTable().Slots)
        if (slot.State.load(std::memory_order_acquire) == kLive) ::unlinkat(slot.Directory, slot.Name, 0);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);  // pending until the signal is unblocked, which ends the process
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    errno = savedErrno;
}

}  // namespace

TemporaryFiles::TemporaryFiles() {
    Table& table = TheTable();
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndRaise;
    ::sigemptyset(&action.sa_mask);
    for (int s : kSignals) ::sigaddset(&action.sa_mask, s);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction previous {};
        if (::sigaction(kSignals[i], nullptr, &previous) != 0) continue;
        // A signal the process was started with ignored (nohup, a background job) stays ignored.
        if (previous.sa_handler == SIG_IGN) continue;
        if (::sigaction(kSignals[i], &action, &table.Previous[i]) == 0) table.Installed[i] = true;
    }
}

TemporaryFiles::~TemporaryFiles() {
    Table& table = TheTable();
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (table.Installed[i]) ::sigaction(kSignals[i], &table.Previous[i], nullptr);
        table.Installed[i] = false;
    }
}

TemporaryFiles::Registration TemporaryFiles::Add(int directory, const char* name) noexcept {
    const std::size_t length = std::strlen(name);
    if (length >= kNameCapacity) return Registration();
    Slot* slots = TheTable().Slots;
    for (std::size_t i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].State.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        slots[i].Directory = directory;
        std::memcpy(slots[i].Name, name, length + 1);
        slots[i].State.store(kLive, std::memory_order_release);
        return Registration(static_cast<int>(i));
    }
    return Registration();
}

void TemporaryFiles::Registration::Release() noexcept {
    if (slot_ < 0) return;
    TheTable().Slots[slot_].State.store(kFree, std::memory_order_release);
    slot_ = -1;
}

TemporaryFiles::Registration& TemporaryFiles::Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        Release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

}  // namespace qvx::platform
