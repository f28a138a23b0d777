// ThreadBudget: a number of threads that several compressions share. A worker that compresses one
// entry holds one thread of the budget while it works; a compression of a large LH5 entry also
// searches its stream on threads of the budget that nobody holds at the moment, and gives each
// back as soon as its piece of the search is done, so the busy threads never exceed the budget.
#pragma once

#include <condition_variable>
#include <mutex>

#include "Export.h"

namespace qvx {

class INSTCOMPRESS_API ThreadBudget {
public:
    explicit ThreadBudget(int threads) : free_(threads < 0 ? 0 : threads) {}
    ThreadBudget(const ThreadBudget&) = delete;
    ThreadBudget& operator=(const ThreadBudget&) = delete;

    // Takes one thread, waiting until one is free.
    void Take();
    // Takes one thread if one is free at once.
    bool TryTake();
    // Gives back a thread taken before.
    void Give();
    // The threads nobody holds now.
    int Free();

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    int free_;
};

// Holds one thread of a budget for the length of a scope.
class ThreadBudgetShare {
public:
    explicit ThreadBudgetShare(ThreadBudget& budget) : budget_(budget) { budget_.Take(); }
    ~ThreadBudgetShare() { budget_.Give(); }
    ThreadBudgetShare(const ThreadBudgetShare&) = delete;
    ThreadBudgetShare& operator=(const ThreadBudgetShare&) = delete;

private:
    ThreadBudget& budget_;
};

}  // namespace qvx
