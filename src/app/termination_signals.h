// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGINT and SIGHUP for the desktop program: the first one closes the window as the
// close button does (a file being converted ends early but complete, and the program ends
// with the batch), a second one ends the program at once. The signals arrive through a
// signalfd read on the event loop, where any code may run.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace morvane {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Blocks the three signals in the calling thread and in every thread it starts later:
    // call it before any other thread exists (QApplication starts some).
    static void block();

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // The first signal taken, 0 while none came.
    int signal_taken() const { return signal_taken_; }

signals:
    void termination_requested();

private:
    void read_signal();

    int descriptor_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int signal_taken_ = 0;
};

} // namespace morvane
