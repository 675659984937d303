// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/termination_signals.h"

#include <csignal>
#include <cstdlib>
#include <sys/signalfd.h>
#include <unistd.h>

namespace morvane {

namespace {

sigset_t termination_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void TerminationSignals::block() {
    const sigset_t set = termination_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = termination_set();
    descriptor_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (descriptor_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this,
                &TerminationSignals::read_signal);
    }
}

TerminationSignals::~TerminationSignals() {
    notifier_.reset();
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void TerminationSignals::read_signal() {
    signalfd_siginfo info{};
    while (::read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const int number = static_cast<int>(info.ssi_signo);
        if (signal_taken_ != 0) {
            // Asked twice: no more waiting for the current file.
            std::_Exit(128 + signal_taken_);
        }
        signal_taken_ = number;
        emit termination_requested();
    }
}

} // namespace morvane
