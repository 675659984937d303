// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog and the failed-files dialog as the main window opens them.
#include "app/dialogs.h"

#include "settings_dialog/failed_files_dialog.h"
#include "settings_dialog/settings_dialog.h"

namespace morvane {

bool run_settings_dialog(AppSettings& settings, const DeviceTable& devices,
                         const std::string& program_folder, DesktopShell& shell, QWidget* parent) {
    SettingsDialog dialog(settings, devices, program_folder, shell, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    settings = dialog.settings();
    return true;
}

void show_failed_files_dialog(const std::vector<FailedFile>& failed_files, QWidget* parent) {
    FailedFilesDialog dialog(failed_files, parent);
    dialog.exec();
}

} // namespace morvane
