// Ctrl-C for morvane-convert: the first one acts as the stop button, the second quits at
// once. The signal is taken on a thread of its own, where any code may run.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace morvane {

class InterruptWatcher {
public:
    // Blocks SIGINT and SIGTERM in the calling thread and every thread it starts later:
    // construct it before any other thread exists.
    explicit InterruptWatcher(std::function<void()> on_first_interrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    bool interrupted() const { return interrupted_.load(); }

private:
    void watch();

    std::function<void()> on_first_interrupt_;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace morvane
