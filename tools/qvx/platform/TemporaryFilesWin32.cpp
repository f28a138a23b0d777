#include "TemporaryFiles.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>

namespace qvx::platform {

namespace {

// The table the console control handler reads. That handler runs on a thread of its own while the
// main thread goes on, so the table is guarded by a mutex (no signal handler is involved here).
struct Table {
    std::mutex Lock;
    HANDLE Files[TemporaryFiles::kSlots] = {};
    bool Interrupted = false;
};

Table& TheTable() noexcept {
    static Table table;
    return table;
}

// Marks the file for deletion when its last handle closes; a read-only attribute would refuse it.
void MarkForDeletion(HANDLE file) noexcept {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

BOOL WINAPI RemoveTemporaries(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: {
            Table& table = TheTable();
            const std::lock_guard<std::mutex> lock(table.Lock);
            table.Interrupted = true;
            for (HANDLE file : table.Files)
                if (file != nullptr) MarkForDeletion(file);
            break;
        }
        default: break;
    }
    // The default handling ends the process with the usual status (STATUS_CONTROL_C_EXIT).
    return FALSE;
}

}  // namespace

TemporaryFiles::TemporaryFiles() { ::SetConsoleCtrlHandler(RemoveTemporaries, TRUE); }

TemporaryFiles::~TemporaryFiles() { ::SetConsoleCtrlHandler(RemoveTemporaries, FALSE); }

TemporaryFiles::Registration TemporaryFiles::Add(void* file) noexcept {
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.Lock);
    if (table.Interrupted) {
        MarkForDeletion(file);
        return Registration();
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (table.Files[i] != nullptr) continue;
        table.Files[i] = file;
        return Registration(static_cast<int>(i));
    }
    return Registration();
}

void TemporaryFiles::Registration::Release() noexcept {
    if (slot_ < 0) return;
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.Lock);
    table.Files[slot_] = nullptr;
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
