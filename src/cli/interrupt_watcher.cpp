// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/interrupt_watcher.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pthread.h>

namespace morvane {

namespace {

sigset_t watched_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

} // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> on_first_interrupt)
    : on_first_interrupt_(std::move(on_first_interrupt)) {
    const sigset_t signals = watched_signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    thread_ = std::thread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher() {
    finished_ = true;
    thread_.join();
}

void InterruptWatcher::watch() {
    const sigset_t signals = watched_signals();
    const timespec poll_interval{0, 100'000'000};
    while (!finished_.load()) {
        const int signal = sigtimedwait(&signals, nullptr, &poll_interval);
        if (signal < 0) {
            continue;
        }
        int none = 0;
        if (!signal_taken_.compare_exchange_strong(none, signal)) {
            // The user insists: leave now, as the shell expects of a killed command.
            std::_Exit(128 + signal);
        }
        on_first_interrupt_();
    }
}

} // namespace morvane
