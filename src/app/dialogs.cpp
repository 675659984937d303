// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog and the failed-files dialog as the main window opens them.
#include "app/dialogs.h"

#include "settings_dialog/failed_files_dialog.h"
#include "settings_dialog/settings_dialog.h"

namespace morvane {

QDialog* open_settings_dialog(const AppSettings& settings, const DeviceTable& devices,
                              const std::string& data_folder, DesktopShell& shell, QWidget* parent,
                              std::function<void(const AppSettings&)> chosen) {
    auto* dialog = new SettingsDialog(settings, devices, data_folder, shell, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::accepted, dialog,
                     [dialog, chosen = std::move(chosen)] { chosen(dialog->settings()); });
    dialog->open();
    return dialog;
}

void open_failed_files_dialog(const std::vector<FailedFile>& failed_files,
                              const std::vector<FailedFile>& not_sent_files, QWidget* parent) {
    auto* dialog = new FailedFilesDialog(failed_files, not_sent_files, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

} // namespace morvane
