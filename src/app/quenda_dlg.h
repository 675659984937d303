// The main window: frameless, drawn entirely from the skin, with the conversion window
// filling it but for a 19-pixel band at the top and 2-pixel margins. It owns the settings,
// the device table and the conversion window; its skinned buttons minimise it, close it and
// open the settings.
#pragma once

#include "jobs/device_table.h"
#include "platform/desktop_shell.h"
#include "settings/app_settings.h"
#include "settings/settings_location.h"
#include "skin/skin.h"

#include <QDialog>
#include <QPoint>
#include <functional>
#include <optional>

namespace morvane {

class CConverWnd;

class CQuendaDlg : public QDialog, public CSkin {
    Q_OBJECT

public:
    static constexpr int minimise_id = 1000;
    static constexpr int close_id = 1001;
    static constexpr int settings_id = 1002;
    static constexpr int band_height = 19;
    static constexpr int margin = 2;

    CQuendaDlg(SettingsLocation location, DesktopShell& shell, QWidget* parent = nullptr);
    ~CQuendaDlg() override;

    void set_topmost(bool topmost);

    AppSettings& settings() { return settings_; }
    const DeviceTable& device_table() const { return device_table_; }
    CConverWnd* conversion_window() const { return conv_wnd_; }

    // The settings command (the settings button): runs the settings sheet and applies what
    // OK changed at once.
    void open_settings();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void initialise();
    void on_command(int id);
    void enable_settings_button(bool enabled);
    void save();

    SettingsLocation location_;
    DesktopShell& shell_;
    AppSettings settings_;
    DeviceTable device_table_;
    CConverWnd* conv_wnd_ = nullptr;
    // Where a drag by the background started, when the platform does not move windows
    // itself.
    std::optional<QPoint> drag_offset_;
};

} // namespace morvane
