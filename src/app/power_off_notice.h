// SPDX-License-Identifier: GPL-3.0-or-later
// The notice before Morvane powers the computer off after a batch: it counts down (60
// seconds unless told otherwise) and then accepts itself; Cancel rejects it, and nothing
// is powered off.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace morvane {

class PowerOffNotice : public QDialog {
    Q_OBJECT

public:
    explicit PowerOffNotice(int seconds = 60, QWidget* parent = nullptr);

    int seconds_left() const { return seconds_left_; }
    QLabel* message() const { return message_; }

private:
    void tick();
    void show_seconds_left();

    int seconds_left_;
    QLabel* message_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace morvane
