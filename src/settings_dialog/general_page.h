// SPDX-License-Identifier: GPL-3.0-or-later
// The General page of the settings dialog: the output folder (shown read-only, changed
// through Browse, shown in the file browser through Open) and whether a dropped folder's
// layout is kept in it, the two actions after a batch (with a note where nothing can open a
// folder), sending to a player and the stay-on-top flag.
#pragma once

#include "platform/desktop_shell.h"
#include "settings/app_settings.h"
#include "settings_dialog/folder_picker.h"

#include <QWidget>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace morvane {

class GeneralPage : public QWidget {
    Q_OBJECT

public:
    // Shows settings; Open goes through shell, which must outlive the page.
    GeneralPage(const AppSettings& settings, DesktopShell& shell, QWidget* parent = nullptr);

    void set_folder_picker(FolderPicker picker) { folder_picker_ = std::move(picker); }
    // Writes what the page shows into settings: the flags, and the folder if Browse chose one.
    void apply_to(AppSettings& settings) const;

private:
    void browse();
    void open_folder();

    DesktopShell& shell_;
    // Open shows the folder conversions write to now, not one Browse has just put in the
    // field: that one is not the output folder until OK.
    std::string stored_folder_;
    FolderPicker folder_picker_ = pick_folder_with_dialog;
    // Kept as the picker gave it: the field shows a name that is not valid UTF-8 only
    // approximately.
    std::optional<std::string> chosen_folder_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QPushButton* open_;
    QCheckBox* keep_folders_;
    QCheckBox* shutdown_;
    QCheckBox* open_output_;
    QCheckBox* send_to_player_;
    QCheckBox* stay_on_top_;
};

} // namespace morvane
