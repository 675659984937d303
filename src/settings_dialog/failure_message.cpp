// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_dialog/failure_message.h"

#include <QApplication>
#include <QMessageBox>

namespace morvane {

void show_failure(QWidget* parent, const QString& text) {
    QApplication::beep();
    auto* message = new QMessageBox(QMessageBox::Warning, QStringLiteral("Morvane"), text,
                                    QMessageBox::Ok, parent);
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
}

} // namespace morvane
