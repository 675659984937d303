// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/interrupt_watcher.h"

#include <csignal>
#include <cstdint>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

InterruptWatcher::InterruptWatcher(ImmediateQuit& quit, std::function<void()> on_first_interrupt)
    : quit_(quit), on_first_interrupt_(std::move(on_first_interrupt)) {
    const sigset_t signals = watched_signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal_fd_ = signalfd(-1, &signals, SFD_CLOEXEC);
    wake_fd_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher() {
    finished_ = true;
    if (wake_fd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
    }
    thread_.join();
    for (const int descriptor : {signal_fd_, wake_fd_}) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
}

int InterruptWatcher::next_signal() const {
    if (signal_fd_ < 0 || wake_fd_ < 0) {
        // Without the descriptors (none left to this process), the end is seen within a tenth
        // of a second.
        const sigset_t signals = watched_signals();
        const timespec poll_interval{0, 100'000'000};
        return sigtimedwait(&signals, nullptr, &poll_interval);
    }
    // Woken by a signal or by the end of the batch, never on a timer: the command ends as
    // soon as its last file does.
    pollfd watched[2] = {{signal_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    if (::poll(watched, 2, -1) <= 0 || (watched[0].revents & POLLIN) == 0) {
        return -1;
    }
    signalfd_siginfo taken{};
    if (::read(signal_fd_, &taken, sizeof taken) != static_cast<ssize_t>(sizeof taken)) {
        return -1;
    }
    return static_cast<int>(taken.ssi_signo);
}

void InterruptWatcher::watch() {
    while (!finished_.load()) {
        const int signal = next_signal();
        if (signal <= 0) {
            continue;
        }
        int none = 0;
        if (!signal_taken_.compare_exchange_strong(none, signal)) {
            // The user insists: leave now, as the shell expects of a killed command (after
            // the moment an iPod's databases take to be written whole).
            quit_.quit(128 + signal);
        }
        on_first_interrupt_();
    }
}

} // namespace morvane
