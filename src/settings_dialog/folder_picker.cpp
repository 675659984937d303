// SPDX-License-Identifier: GPL-3.0-or-later
// The folder dialog behind the General page's Browse button.
#include "settings_dialog/folder_picker.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>

namespace morvane {

std::optional<std::string> pick_folder_with_dialog(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QCoreApplication::translate("morvane::GeneralPage", "Please select output path:"),
        QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(folder).toStdString();
}

} // namespace morvane
