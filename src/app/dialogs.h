// SPDX-License-Identifier: GPL-3.0-or-later
// The two dialogs the main window opens, one function each, so that the window does not
// depend on how they are built. Both open over the window and return at once (`open()`):
// the window goes on handling its events while a dialog is shown.
#pragma once

#include "jobs/device_table.h"
#include "jobs/failed_file.h"
#include "platform/desktop_shell.h"
#include "settings/app_settings.h"

#include <functional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace morvane {

// Opens the settings over a copy of `settings`; after OK, `chosen` gets what was chosen.
// Cancel changes nothing. Returns the dialog, which deletes itself when closed.
QDialog* open_settings_dialog(const AppSettings& settings, const DeviceTable& devices,
                              const std::string& data_folder, DesktopShell& shell, QWidget* parent,
                              std::function<void(const AppSettings&)> chosen);

// Lists the files a batch could not convert, and those it converted but could not send to
// the player, with their reasons.
void open_failed_files_dialog(const std::vector<FailedFile>& failed_files,
                              const std::vector<FailedFile>& not_sent_files, QWidget* parent);

} // namespace morvane
