// An event that wakes one waiter and then resets itself: signals sent while nobody waits
// are kept (but not counted), so a wake-up is never lost.
#pragma once

#include <condition_variable>
#include <mutex>

namespace morvane {

class AutoResetEvent {
public:
    explicit AutoResetEvent(bool signalled = false) : signalled_(signalled) {}

    void set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        condition_.notify_one();
    }

    void wait() {
        std::unique_lock lock(mutex_);
        condition_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_;
};

} // namespace morvane
