// TemporaryFiles: the temporary files of the command in progress, removed when the process is
// interrupted (TemporaryFilesPosix.cpp, TemporaryFilesWin32.cpp).
//
// This is the one piece of process-wide mutable state of the tool, and it is needed: a signal
// handler (or Windows' console control handler) has no other way to learn which files to remove.
// It is kept to a fixed table of slots owned by this class; registering and removing a file only
// fills and clears a slot, and the handler neither allocates nor takes a lock that the interrupted
// code could hold.
//
// POSIX: SIGINT, SIGTERM and SIGHUP (unless the process started with the signal ignored) remove
// every registered file (unlinkat of its directory descriptor and name), then the signal is raised
// again with its default action, so the exit status is the usual one for that signal.
// Windows: Ctrl+C, Ctrl+Break and closing the console mark every registered file (by its handle,
// opened with DELETE access) for deletion, then the system's default handling ends the process
// with its usual status; the files go when their handles close.
#pragma once

#include <cstddef>

namespace qvx::platform {

class TemporaryFiles {
public:
    // Installs the interrupt handlers; the previous handling comes back when the object goes.
    // Made once, in main.
    TemporaryFiles();
    ~TemporaryFiles();
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    // The slot of one registered file, cleared when the registration goes (or on Release()).
    class Registration {
    public:
        Registration() noexcept = default;
        explicit Registration(int slot) noexcept : slot_(slot) {}
        Registration(Registration&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
        Registration& operator=(Registration&& other) noexcept;
        ~Registration() { Release(); }
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;

        // Clears the slot: the file is no longer removed on an interrupt.
        void Release() noexcept;
        bool Registered() const noexcept { return slot_ >= 0; }

    private:
        int slot_ = -1;
    };

    // How many files can be registered at once; beyond that a file is made but not registered.
    static constexpr std::size_t kSlots = 64;

#ifdef _WIN32
    // Registers an open file by its handle (which must carry DELETE access). When an interrupt is
    // already being handled the file is marked for deletion at once.
    static Registration Add(void* file) noexcept;
#else
    // Registers the file name (at most 255 bytes) inside the directory of the descriptor, before
    // the file is made with O_EXCL: from then on an interrupt removes whatever has that name.
    static Registration Add(int directory, const char* name) noexcept;
#endif
};

}  // namespace qvx::platform
