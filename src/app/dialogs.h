// SPDX-License-Identifier: GPL-3.0-or-later
// The two dialogs the main window opens, one function each, so that the window does not
// depend on how they are built.
#pragma once

#include "jobs/device_table.h"
#include "jobs/failed_file.h"
#include "platform/desktop_shell.h"
#include "settings/app_settings.h"

#include <string>
#include <vector>

class QWidget;

namespace morvane {

// Shows the settings over a copy of `settings`; after OK, `settings` holds what was chosen
// and the result is true. Cancel changes nothing.
bool run_settings_dialog(AppSettings& settings, const DeviceTable& devices,
                         const std::string& program_folder, DesktopShell& shell, QWidget* parent);

// Lists the files a batch could not convert, with their reasons.
void show_failed_files_dialog(const std::vector<FailedFile>& failed_files, QWidget* parent);

} // namespace morvane
