// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: frameless, drawn from the skin, with the drop area filling it but for
// the skin's title band. It owns the settings, the device table and the drop area; its
// skin buttons and shortcuts minimise it (the button), open files (Ctrl+O), open the
// settings (Ctrl+,) and close it (the button, Ctrl+Q). Closing it during a batch stops the
// current file as the stop button does, and the program ends when the batch has.
#pragma once

#include "app/power_off_notice.h"
#include "jobs/device_table.h"
#include "jobs/post_batch_action.h"
#include "platform/desktop_shell.h"
#include "settings/app_settings.h"
#include "settings/settings_location.h"
#include "skin/skin.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class ConversionController;
class DropArea;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int band_height = 19;
    static constexpr int margin = 2;

    MainWindow(SettingsLocation location, DesktopShell& shell, QWidget* parent = nullptr);
    // The controller (and its worker) goes first: the worker reports to it, it to the view.
    ~MainWindow() override;

    const AppSettings& settings() const { return settings_; }
    const DeviceTable& devices() const { return device_table_; }
    const Skin& skin() const { return skin_; }
    DropArea* drop_area() const { return drop_area_; }
    ConversionController* conversion() const { return conversion_; }

    // Files and folders to convert, as if dropped (the program's arguments, or another start's
    // handed over).
    void add_files(const std::vector<std::string>& paths);
    // Brought to the front, as a second start without files asks.
    void bring_to_front();
    // The settings command: opens the settings dialog; what OK changed applies at once.
    // During a batch it says why it cannot.
    void open_settings();
    QDialog* settings_dialog() const { return settings_dialog_; }
    void set_stay_on_top(bool on_top);

    // Shows the files of a batch that failed, and those converted but not sent to the player
    // (the summary's link, the end of a batch with either); the failed-files dialog unless
    // replaced.
    using FailedFilesViewer = std::function<void(const std::vector<FailedFile>& failed,
                                                 const std::vector<FailedFile>& not_sent)>;
    void set_failed_files_viewer(FailedFilesViewer viewer) {
        failed_files_viewer_ = std::move(viewer);
    }

    // Tests shorten the power-off notice; it is 60 seconds otherwise.
    void set_power_off_notice_seconds(int seconds) { power_off_notice_seconds_ = seconds; }
    PowerOffNotice* power_off_notice() const { return power_off_notice_; }
    // The last message shown (a refused power-off, a folder that would not open, a failed
    // save), while it is open.
    QMessageBox* message() const { return message_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void load_skin();
    void create_shortcuts();
    void apply_device();
    void apply_settings(const AppSettings& chosen);
    void batch_finished(const BatchSummary& summary);
    void power_off_after_notice();
    // Writes the settings that changed since they were read or last written, and only
    // those: another Morvane's choices stay. A failure is shown once per kind of trouble.
    void save();
    // A warning in a message box.
    void show_message(const QString& text);

    SettingsLocation location_;
    DesktopShell& shell_;
    AppSettings settings_;
    AppSettings stored_settings_; // as config.ini holds them, as far as this window knows
    DeviceTable device_table_;
    Skin skin_;
    FailedFilesViewer failed_files_viewer_;
    DropArea* drop_area_ = nullptr;
    ConversionController* conversion_ = nullptr;
    QPointer<PowerOffNotice> power_off_notice_;
    QPointer<QDialog> settings_dialog_;
    QPointer<QMessageBox> message_;
    int power_off_notice_seconds_ = 60;
    bool quit_after_batch_ = false;
    std::optional<std::string> last_save_failure_;
    // Where a drag by the background started, when the platform does not move windows.
    std::optional<QPoint> drag_offset_;
};

} // namespace morvane
