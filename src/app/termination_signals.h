// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGINT and SIGHUP for the desktop program: the first one closes the window as the
// close button does (a file being converted ends early but complete, and the program ends
// with the batch), a second one ends the program at once. The handler only writes the
// signal's number into a pipe that the event loop reads, where any code may run. The
// signals are not blocked: a program the desktop starts for us (a file manager, a browser)
// must not inherit a mask that makes it deaf to them.
#pragma once

#include "platform/immediate_quit.h"

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <memory>

namespace morvane {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // One at a time in a process: the signals' dispositions are the process's.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts back the dispositions it found.
    ~TerminationSignals() override;

    // The first signal taken, 0 while none came.
    int signal_taken() const { return signal_taken_; }
    // How the second signal ends the program: once what is being written whole is.
    ImmediateQuit& immediate_quit() { return quit_; }

signals:
    void termination_requested();

private:
    void read_signal();

    int read_end_ = -1;
    int write_end_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[3] = {};
    bool installed_ = false;
    int signal_taken_ = 0;
    ImmediateQuit quit_;
};

} // namespace morvane
