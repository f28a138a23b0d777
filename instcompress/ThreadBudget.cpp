#include <instcompress/ThreadBudget.h>

namespace qvx {

void ThreadBudget::Take() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
}

bool ThreadBudget::TryTake() {
    std::lock_guard lock(mutex_);
    if (free_ == 0) return false;
    --free_;
    return true;
}

void ThreadBudget::Give() {
    {
        std::lock_guard lock(mutex_);
        ++free_;
    }
    freed_.notify_one();
}

int ThreadBudget::Free() {
    std::lock_guard lock(mutex_);
    return free_;
}

}  // namespace qvx
