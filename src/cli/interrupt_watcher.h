// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C, SIGTERM and SIGHUP for morvane-convert: the first one acts as the stop button,
// a second one quits at once (once what is being written whole is, see ImmediateQuit). The
// signals are taken on a thread of their own, where any code may run.
#pragma once

#include "platform/immediate_quit.h"

#include <atomic>
#include <functional>
#include <thread>

namespace morvane {

class InterruptWatcher {
public:
    // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and every thread it starts
    // later: construct it before any other thread exists. A second signal ends the process
    // through `quit`.
    InterruptWatcher(ImmediateQuit& quit, std::function<void()> on_first_interrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // The first signal taken, 0 while none came.
    int signal_taken() const { return signal_taken_.load(); }

private:
    void watch();
    // The next signal taken, or a value <= 0 when none came.
    int next_signal() const;

    ImmediateQuit& quit_;
    std::function<void()> on_first_interrupt_;
    std::atomic<int> signal_taken_{0};
    std::atomic<bool> finished_{false};
    int signal_fd_ = -1; // the watched signals, read as they come
    int wake_fd_ = -1;   // written once the batch is over
    std::thread thread_;
};

} // namespace morvane
