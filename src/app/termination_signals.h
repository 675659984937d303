// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGINT and SIGHUP for the desktop program: the first one closes the window as the
// close button does (a file being converted ends early but complete, and the program ends
// with the batch), a second one ends the program at once. The handler only writes the
// signal's number into a pipe that the event loop reads, where any code may run. The
// signals are not blocked: a program the desktop starts for us (a file manager, a browser)
// must not inherit a mask that makes it deaf to them.
#pragma once

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
};

} // namespace morvane
