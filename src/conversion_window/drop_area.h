// SPDX-License-Identifier: GPL-3.0-or-later
// Where files are dropped: the selected device's picture, the prompt below it, and during a
// batch a progress panel (the current file, a progress bar, "2 of 5" and the time left, a
// skinned stop button) below the picture. It owns the conversion worker and is its host:
// every report carries its values and is posted to this widget's thread before it touches a
// widget.
//
// It is a button too: a click, Return or Space opens the file chooser (as Ctrl+O does in
// the main window), its menu adds a folder, and to assistive technology it is a push button
// with a press action. The end of a batch and its progress are announced.
#pragma once

#include "conversion_window/announcer.h"
#include "jobs/batch_time_left.h"
#include "jobs/conversion_host.h"
#include "jobs/conversion_worker.h"
#include "jobs/device_profile.h"
#include "players/player_root.h"
#include "players/player_watcher.h"
#include "settings/app_settings.h"
#include "skin/skin_pixmap.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

namespace morvane {

class LinkButton;

class DropArea : public QAbstractButton, public ConversionHost {
    Q_OBJECT

public:
    // Asks the user for files, or a folder, to convert; empty when they chose none.
    using FileChooser = std::function<std::vector<std::string>(QWidget* parent)>;

    // skin_folder holds the stop button's picture (stop.bmp).
    explicit DropArea(const std::string& skin_folder, QWidget* parent = nullptr);
    // Stops and joins the worker before anything it reports to goes away.
    ~DropArea() override;

    void set_device(const DeviceProfile& device);
    // What the files added from now on are converted with.
    void set_settings(const AppSettings& settings);
    // Where players come and go (not owned; the window's). The first player it lists takes
    // the converted files when the settings say so; the line under the picture tells which.
    void set_player_watcher(PlayerWatcher* watcher);
    void set_file_chooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    void set_folder_chooser(FileChooser chooser) { folder_chooser_ = std::move(chooser); }
    // How often progress is shown at most (half a second unless changed).
    void set_report_interval(std::chrono::microseconds interval) {
        worker_->set_report_interval(interval);
    }

    // Files and folders (the media files under them) join the running batch or start one.
    void add_files(const std::vector<std::string>& paths);
    // The chooser, then add_files with what was chosen.
    void choose_files();
    void choose_folder();
    // As the stop button: the current file ends complete and shorter, the rest is dropped.
    void request_stop();
    // Unmounts the connected player and powers it off, unless a batch runs.
    void eject_player();

    bool converting() const { return converting_; }
    bool stopping() const { return stopping_; }
    bool drop_highlighted() const { return drop_highlighted_; }
    const DeviceProfile& device() const { return device_; }
    // The parts a person reads (and tests look at).
    QLabel* status_label() const { return status_label_; }
    // "Send to: PSP 'NAME' — 12.4 GB free"; hidden when there is nothing to say.
    QLabel* player_label() const { return player_label_; }
    // "Eject", beside that line while no batch runs, where the watcher can eject.
    LinkButton* eject_link() const { return eject_link_; }
    // "Show the files not converted", after a batch with failures.
    LinkButton* failed_files_link() const { return failed_files_link_; }
    const Announcer* announcer() const { return announcer_; }
    // Tells a screen reader what no focus change shows.
    void announce(const QString& words) { announcer_->announce(words); }
    QLabel* file_label() const { return file_label_; }
    QLabel* count_label() const { return count_label_; }
    QProgressBar* progress_bar() const { return progress_bar_; }
    // The skin's stop button, or a plain one when the skin has no picture for it.
    QAbstractButton* stop_button() const { return stop_button_; }

signals:
    void batch_started();                                                     // a batch starts
    void batch_finished(const BatchSummary& summary);                         // the batch is over
    void failed_files_requested(const std::vector<FailedFile>& failed_files); // "show"

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override; // the player's line fits the new width
    bool eventFilter(QObject* watched, QEvent* event) override;
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // ConversionHost: called on the worker thread, posted to this one.
    void conversion_begin() override;
    void status_changed(const ConversionStatus& status) override;
    void file_finished(const std::string& path, const JobOutcome& outcome) override;
    void conversion_end(const BatchSummary& summary) override;

    // Runs `work` on this widget's thread (queued; dropped if the widget is gone by then),
    // as a PostedCall event.
    void post(std::function<void()> work);
    void show_status(const ConversionStatus& status);
    void show_summary(const BatchSummary& summary);
    void show_idle_text(const QString& text);
    // The watcher's news: the worker hears of the player, the line shows it.
    void take_players();
    void show_player_line();
    // "PSP 'STICK'": its model and its volume's name.
    QString player_title() const;
    void take_eject_result(const QString& problem);
    void set_drop_highlighted(bool highlighted);
    QString time_left_text(const ConversionStatus& status) const;

    AppSettings settings_;
    DeviceProfile device_;
    SkinPixmap device_picture_; // with its @2x art where there is some
    FileChooser chooser_;
    FileChooser folder_chooser_;
    QPointer<PlayerWatcher> player_watcher_;
    std::optional<PlayerRoot> player_; // the one files are sent to

    QWidget* idle_panel_ = nullptr;
    QLabel* player_label_ = nullptr;
    LinkButton* eject_link_ = nullptr;
    QLabel* status_label_ = nullptr;
    LinkButton* failed_files_link_ = nullptr;
    QWidget* batch_panel_ = nullptr;
    QLabel* file_label_ = nullptr;
    QProgressBar* progress_bar_ = nullptr;
    QLabel* count_label_ = nullptr;
    QAbstractButton* stop_button_ = nullptr;
    Announcer* announcer_ = nullptr;

    // Read and written on this thread only, from the values the worker posts.
    bool converting_ = false;
    bool stopping_ = false;
    bool drop_highlighted_ = false;
    bool ejecting_ = false;
    QString ejecting_title_;   // "PSP 'STICK'"
    int announced_tenth_ = -1; // of the current file's progress
    QElapsedTimer batch_clock_;
    BatchTimeLeft time_left_;
    int shown_index_ = 0; // the file the progress panel shows
    std::vector<FailedFile> last_failed_files_;

    std::unique_ptr<ConversionWorker> worker_; // last: reset first in the destructor
};

} // namespace morvane
