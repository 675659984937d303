// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/termination_signals.h"

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace morvane {

namespace {

constexpr int handled_signals[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler reaches nothing but what is global: the pipe's writing end, set before
// the handlers are installed and taken back after they are gone.
volatile std::sig_atomic_t handler_pipe = -1;

extern "C" void forward_signal(int number) {
    const int saved_errno = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a signal the event loop has yet to read: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(handler_pipe, &byte, 1);
    errno = saved_errno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default: the program ends at once
    }
    read_end_ = ends[0];
    write_end_ = ends[1];
    handler_pipe = write_end_;
    struct sigaction action = {};
    action.sa_handler = forward_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the converter's reads and writes go on undisturbed
    for (std::size_t i = 0; i < std::size(handled_signals); ++i) {
        sigaction(handled_signals[i], &action, &previous_[i]);
    }
    installed_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(read_end_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::read_signal);
}

TerminationSignals::~TerminationSignals() {
    if (installed_) {
        for (std::size_t i = 0; i < std::size(handled_signals); ++i) {
            sigaction(handled_signals[i], &previous_[i], nullptr);
        }
        handler_pipe = -1;
    }
    notifier_.reset();
    for (const int end : {read_end_, write_end_}) {
        if (end >= 0) {
            ::close(end);
        }
    }
}

void TerminationSignals::read_signal() {
    unsigned char number = 0;
    while (::read(read_end_, &number, 1) == 1) {
        if (signal_taken_ != 0) {
            // Asked twice: no more waiting for the current file, only for an iPod's databases
            // being written.
            quit_.quit(128 + signal_taken_);
        }
        signal_taken_ = number;
        emit termination_requested();
    }
}

} // namespace morvane
