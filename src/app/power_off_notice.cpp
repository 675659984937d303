// SPDX-License-Identifier: GPL-3.0-or-later
// The countdown before a power-off.
#include "app/power_off_notice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace morvane {

PowerOffNotice::PowerOffNotice(int seconds, QWidget* parent)
    : QDialog(parent), seconds_left_(seconds) {
    setWindowTitle(tr("Power Off"));
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Cancel)->setFocus();

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &PowerOffNotice::tick);
    timer_->start();
    show_seconds_left();
}

void PowerOffNotice::tick() {
    --seconds_left_;
    if (seconds_left_ <= 0) {
        timer_->stop();
        accept();
        return;
    }
    show_seconds_left();
}

void PowerOffNotice::show_seconds_left() {
    message_->setText(tr("Every file is converted. The computer will power off in %n seconds.",
                         nullptr, seconds_left_));
}

} // namespace morvane
