// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: skin, shortcuts, the settings command and the end of a batch.
#include "app/main_window.h"

#include "app/dialogs.h"
#include "app/power_off_notice.h"
#include "conversion_window/drop_area.h"
#include "players/mount_player_watcher.h"
#include "players/udisks_player_watcher.h"
#include "settings/settings_file.h"
#include "skin/skin_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

namespace morvane {

namespace {

// The window's size when the skin gives none: the default skin's.
constexpr QSize unskinned_size(256, 280);

// A window (a frame) to assistive technology: Qt makes a plain top-level widget a filler,
// and Orca reads the title of frames and dialogs only.
QAccessibleInterface* main_window_accessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("morvane::MainWindow")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

} // namespace

MainWindow::MainWindow(SettingsLocation location, DesktopShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), location_(std::move(location)),
      shell_(shell), skin_(this),
      failed_files_viewer_(
          [this](const std::vector<FailedFile>& files) { open_failed_files_dialog(files, this); }) {
    load_settings(settings_, location_);
    // Qt keeps its factories in a list of its own; adding the same one twice is harmless.
    QAccessible::removeFactory(main_window_accessible);
    QAccessible::installFactory(main_window_accessible);
    setWindowTitle(tr("Morvane"));
    setWindowIcon(QIcon(QString::fromStdString(location_.data_folder + "icons/morvane-256.png")));
    device_table_ = morvane::device_table(location_.data_folder);

    drop_area_ = new DropArea(location_.data_folder + "Skins/", this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, band_height, margin, margin);
    layout->addWidget(drop_area_);
    load_skin();
    create_shortcuts();

    connect(drop_area_, &DropArea::batch_started, this, [this] {
        if (SkinButton* button = skin_.settings_button()) {
            button->setEnabled(false); // the worker reads the settings while a batch runs
        }
    });
    connect(drop_area_, &DropArea::batch_finished, this, &MainWindow::batch_finished);
    connect(drop_area_, &DropArea::failed_files_requested, this,
            [this](const std::vector<FailedFile>& failed_files) {
                failed_files_viewer_(failed_files);
            });

    drop_area_->set_settings(settings_);
    apply_device();
    // UDisks2 tells of players as they come and can eject them; the mount table is read where
    // the system does not run it.
    const QDBusConnection system_bus = QDBusConnection::systemBus();
    if (UdisksPlayerWatcher::available(system_bus)) {
        drop_area_->set_player_watcher(new UdisksPlayerWatcher(system_bus, this));
    } else {
        drop_area_->set_player_watcher(new MountPlayerWatcher(this));
    }
    if (settings_.stay_on_top != 0) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    drop_area_->setFocus();
}

MainWindow::~MainWindow() {
    // The worker is joined before the settings and table it was given go away.
    delete drop_area_;
    drop_area_ = nullptr;
}

void MainWindow::load_skin() {
    if (!skin_.load(location_.data_folder + "Skins/") || !skin_.fit_owner()) {
        resize(unskinned_size);
    }
    setFixedSize(size());
    const struct {
        SkinButton* button;
        QString name;
        QString tip;
        std::function<void()> command;
    } commands[] = {
        {skin_.settings_button(), tr("Settings"), tr("Settings (Ctrl+,)"),
         [this] { open_settings(); }},
        {skin_.minimise_button(), tr("Minimise"), tr("Minimise"), [this] { showMinimized(); }},
        {skin_.close_button(), tr("Close"), tr("Close (Ctrl+Q)"), [this] { close(); }},
    };
    QWidget* previous = drop_area_->stop_button(); // after the drop area's own stops
    for (const auto& command : commands) {
        if (command.button == nullptr) {
            continue;
        }
        command.button->setText(command.name);
        command.button->setAccessibleName(command.name);
        command.button->setToolTip(command.tip);
        connect(command.button, &QAbstractButton::clicked, this, command.command);
        setTabOrder(previous, command.button);
        previous = command.button;
    }
}

void MainWindow::create_shortcuts() {
    // The desktop's own keys for these; the usual ones where it names none (GNOME has no
    // key for preferences).
    const auto keys = [](QKeySequence::StandardKey standard, const char* usual) {
        QList<QKeySequence> bindings = QKeySequence::keyBindings(standard);
        if (bindings.isEmpty()) {
            bindings.append(QKeySequence(QString::fromLatin1(usual)));
        }
        return bindings;
    };
    auto* preferences = new QShortcut(this);
    preferences->setKeys(keys(QKeySequence::Preferences, "Ctrl+,"));
    connect(preferences, &QShortcut::activated, this, &MainWindow::open_settings);
    auto* quit = new QShortcut(this);
    quit->setKeys(keys(QKeySequence::Quit, "Ctrl+Q"));
    connect(quit, &QShortcut::activated, this, &QWidget::close);
    // Ctrl+O and Ctrl+Shift+O are the drop area's own (its menu shows them).
    // Escape is left alone: a frameless window has nothing it could cancel.
}

void MainWindow::apply_device() {
    settings_.device_index = valid_device_index(settings_.device_index, device_table_);
    drop_area_->set_device(device_table_[static_cast<std::size_t>(settings_.device_index)]);
}

void MainWindow::add_files(const std::vector<std::string>& paths) {
    drop_area_->add_files(paths);
}

void MainWindow::open_settings() {
    if (drop_area_->converting()) {
        // The worker reads the settings while a batch runs: said, not silently ignored.
        const SkinButton* button = skin_.settings_button();
        const QPoint where = button != nullptr ? button->mapToGlobal(button->rect().center())
                                               : mapToGlobal(rect().center());
        const QString why = tr("The settings can be changed when the batch has ended");
        QToolTip::showText(where, why, this);
        drop_area_->announce(why);
        return;
    }
    if (settings_dialog_) {
        settings_dialog_->raise();
        settings_dialog_->activateWindow();
        return;
    }
    settings_dialog_ =
        open_settings_dialog(settings_, device_table_, location_.data_folder, shell_, this,
                             [this](const AppSettings& chosen) { apply_settings(chosen); });
}

void MainWindow::apply_settings(const AppSettings& chosen) {
    const bool stay_on_top_changed = chosen.stay_on_top != settings_.stay_on_top;
    settings_ = chosen;
    save();
    apply_device();
    drop_area_->set_settings(settings_);
    if (stay_on_top_changed) {
        set_stay_on_top(settings_.stay_on_top != 0);
    }
}

void MainWindow::set_stay_on_top(bool on_top) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
    if (visible) {
        show(); // changing a window flag hides the window
    }
}

void MainWindow::batch_finished(const BatchSummary& summary) {
    if (SkinButton* button = skin_.settings_button()) {
        button->setEnabled(true);
    }
    if (quit_after_batch_) {
        close();
        return;
    }
    if (!summary.output_folder_problem.empty()) {
        // One message for the whole batch, not the same reason once per file.
        show_message(tr("Nothing was converted: %1")
                         .arg(QString::fromStdString(summary.output_folder_problem)));
        return;
    }
    switch (choose_post_batch_action(settings_, summary)) {
    case PostBatchAction::power_off:
        power_off_after_notice();
        break;
    case PostBatchAction::open_folder:
        if (const DesktopShell::Failure failure = shell_.open_folder(settings_.output_folder)) {
            show_message(tr("The folder %1 could not be opened: %2")
                             .arg(QString::fromStdString(settings_.output_folder),
                                  QString::fromStdString(*failure)));
        }
        break;
    case PostBatchAction::show_failed_files:
        failed_files_viewer_(summary.failed_files);
        break;
    case PostBatchAction::none:
        break;
    }
}

void MainWindow::power_off_after_notice() {
    auto* notice = new PowerOffNotice(power_off_notice_seconds_, this);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    power_off_notice_ = notice;
    connect(notice, &QDialog::accepted, this, [this] {
        save(); // this session's choices survive the power-off
        if (const DesktopShell::Failure failure = shell_.power_off()) {
            show_message(tr("The computer could not be powered off: %1")
                             .arg(QString::fromStdString(*failure)));
        }
    });
    notice->open();
}

bool MainWindow::save(bool closing) {
    const std::optional<std::string> failure = save_settings(settings_, location_);
    if (!failure) {
        last_save_failure_.reset();
        return true;
    }
    // The same trouble is told once, not at every save.
    if (failure != last_save_failure_) {
        last_save_failure_ = failure;
        show_message(
            tr("The settings could not be saved: %1").arg(QString::fromStdString(*failure)),
            closing);
    }
    return false;
}

void MainWindow::show_message(const QString& text, bool wait) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    message_ = box;
    if (wait) {
        box->exec(); // the program is about to end: the message must be read first
    } else {
        box->open();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (drop_area_->converting()) {
        // The current file ends as the stop button ends it; the window closes with the batch.
        quit_after_batch_ = true;
        drop_area_->request_stop();
        event->ignore();
        return;
    }
    if (power_off_notice_) {
        power_off_notice_->reject();
    }
    save(true);
    event->accept();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    skin_.paint_background(painter);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // Only presses on the background arrive here: the children take their own.
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) {
        return;
    }
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (drag_offset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *drag_offset_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    drag_offset_.reset();
    QWidget::mouseReleaseEvent(event);
}

} // namespace morvane
