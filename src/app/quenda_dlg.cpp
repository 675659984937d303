#include "app/quenda_dlg.h"

#include "conversion_window/conver_wnd.h"
#include "jobs/string_table.h"
#include "settings/settings_file.h"
#include "settings_dialog/failed_files_dialog.h"
#include "settings_dialog/settings_dialog.h"
#include "skin/control_id.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace morvane {

namespace {

// The window's size when the skin gives none: the classic 217 x 174 dialog units.
QSize unskinned_size(const QFontMetrics& metrics) {
    const int unit_x = metrics.averageCharWidth();
    const int unit_y = metrics.height();
    return {217 * unit_x / 4, 174 * unit_y / 8};
}

} // namespace

CQuendaDlg::CQuendaDlg(SettingsLocation location, DesktopShell& shell, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), CSkin(this),
      location_(std::move(location)), shell_(shell) {
    initialise();
}

CQuendaDlg::~CQuendaDlg() {
    save();
    // The conversion window stops and joins its worker before the settings it reads and
    // the table it was given go away.
    delete conv_wnd_;
    conv_wnd_ = nullptr;
}

void CQuendaDlg::initialise() {
    load_settings(settings_, location_);
    setWindowTitle(strings::window_title);
    setWindowIcon(
        QIcon(QString::fromStdString(location_.module_directory + "icons/morvane-256.png")));

    SetOwner(this);
    if (!LoadSkin(location_.module_directory + "Skins/") || !FitOwnerToBackground()) {
        resize(unskinned_size(fontMetrics()));
    }
    ConnectCommands([this](int id) { on_command(id); });

    build_device_table(device_table_, location_.module_directory);

    const QRect inset = rect().adjusted(margin, band_height, -margin, -margin);
    conv_wnd_ = new CConverWnd(
        &settings_, shell_,
        [location = location_](const AppSettings& settings) { save_settings(settings, location); },
        location_.module_directory, this);
    conv_wnd_->setGeometry(inset);
    conv_wnd_->create_controls();
    conv_wnd_->set_failed_files_dialog(
        [this](QWidget*, const std::vector<FailedFile>& failed_files) {
            FailedFilesDialog dialog(failed_files, this);
            dialog.exec();
        });
    connect(conv_wnd_, &CConverWnd::conversionBegin, this,
            [this] { enable_settings_button(false); });
    connect(conv_wnd_, &CConverWnd::conversionEnd, this, [this] { enable_settings_button(true); });

    settings_.device_index = valid_device_index(settings_.device_index, device_table_);
    conv_wnd_->set_device(device_table_[static_cast<std::size_t>(settings_.device_index)]);
    if (settings_.topmost != 0) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    conv_wnd_->setFocus();
}

void CQuendaDlg::on_command(int id) {
    switch (id) {
    case minimise_id:
        showMinimized();
        break;
    case close_id:
        accept();
        break;
    case settings_id:
        open_settings();
        break;
    default:
        break;
    }
}

void CQuendaDlg::open_settings() {
    if (conv_wnd_->converting()) {
        return; // the worker reads the settings while a batch runs
    }
    SettingsDialog dialog(settings_, device_table_, location_.module_directory, shell_, this);
    if (dialog.exec() != QDialog::Accepted) {
        return; // Cancel changes nothing
    }
    const int topmost = settings_.topmost;
    const int device_index = settings_.device_index;
    settings_ = dialog.settings();
    save();
    if (settings_.device_index != device_index) {
        settings_.device_index = valid_device_index(settings_.device_index, device_table_);
        conv_wnd_->set_device(device_table_[static_cast<std::size_t>(settings_.device_index)]);
    }
    if (settings_.topmost != topmost) {
        set_topmost(settings_.topmost != 0);
    }
}

void CQuendaDlg::enable_settings_button(bool enabled) {
    if (QWidget* button = FindControl(this, settings_id)) {
        button->setEnabled(enabled);
    }
}

void CQuendaDlg::set_topmost(bool topmost) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (visible) {
        show(); // changing a window flag hides the window
    }
}

void CQuendaDlg::save() {
    save_settings(settings_, location_);
}

void CQuendaDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawBackground(painter);
}

void CQuendaDlg::mousePressEvent(QMouseEvent* event) {
    // Only presses on the background arrive here: the children take their own.
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) {
        return;
    }
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CQuendaDlg::mouseMoveEvent(QMouseEvent* event) {
    if (drag_offset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *drag_offset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CQuendaDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_offset_.reset();
    QDialog::mouseReleaseEvent(event);
}

} // namespace morvane
