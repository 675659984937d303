// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog: a list of page titles on the left (General, Devices, Films, About), a
// header band with the current page's title above the page, and OK and Cancel. It edits a
// copy of the settings; the caller takes the copy back after OK.
#pragma once

#include "jobs/device_table.h"
#include "platform/desktop_shell.h"
#include "settings/app_settings.h"
#include "settings_dialog/folder_picker.h"

#include <QColor>
#include <QDialog>
#include <string>

class QDialogButtonBox;
class QListWidget;
class QScrollArea;
class QStackedWidget;

namespace morvane {

class AboutPage;
class DevicesPage;
class FilmsPage;
class GeneralPage;
class HeaderBand;

class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // Shows a copy of `settings`; once accepted, settings() holds what was chosen.
    // devices and shell must outlive the dialog; data_folder (ending in "/") holds the
    // About picture.
    SettingsDialog(const AppSettings& settings, const DeviceTable& devices, std::string data_folder,
                   DesktopShell& shell, QWidget* parent = nullptr);

    const AppSettings& settings() const { return settings_; }
    // Browse's chooser, replaceable in tests.
    void set_folder_picker(FolderPicker picker);

    // The highlight of the chosen page title, with or without the keyboard focus.
    static QColor selection_colour() { return QColor(0, 94, 204); }
    static QColor frame_colour() { return QColor(141, 141, 141); }

    void accept() override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void add_page(QWidget* page, const QString& title);
    void show_page(int row);

    AppSettings settings_;
    QListWidget* page_list_;
    HeaderBand* header_;
    QStackedWidget* pages_;
    QScrollArea* page_scroller_;
    GeneralPage* general_page_;
    DevicesPage* devices_page_;
    FilmsPage* films_page_;
    AboutPage* about_page_;
    QDialogButtonBox* buttons_;
};

} // namespace morvane
