// SPDX-License-Identifier: GPL-3.0-or-later
// What the drop area shows and says, worked out from what happens: it owns the conversion
// worker and is its host (every report carries its values and is posted to this object's
// thread before anything is shown), follows the player the files go to, and tells a screen
// reader where a batch stands, at a pace a person can follow, how it ended, and of players
// that come and go.
#pragma once

#include "conversion_window/batch_words.h"
#include "conversion_window/progress_pace.h"
#include "jobs/conversion_host.h"
#include "jobs/conversion_worker.h"
#include "jobs/device_profile.h"
#include "platform/immediate_quit.h"
#include "players/player_root.h"
#include "players/player_watcher.h"
#include "settings/app_settings.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class DropArea;

class ConversionController : public QObject, public ConversionHost {
    Q_OBJECT

public:
    // Drives `view`, which must outlive it; what the user does there comes here.
    explicit ConversionController(DropArea& view, QObject* parent = nullptr);
    // Stops and joins the worker before anything it reports to goes away.
    ~ConversionController() override;

    void set_device(const DeviceProfile& device);
    // What the files added from now on are converted with.
    void set_settings(const AppSettings& settings);
    // Where players come and go (not owned; the window's). The first player it lists takes
    // the converted files when the settings say so; the view's line tells which.
    void set_player_watcher(PlayerWatcher* watcher);
    // What ends the program at once (a second termination signal): it waits while an iPod's
    // databases are written (not owned; may be null).
    void set_immediate_quit(ImmediateQuit* quit) { immediate_quit_ = quit; }
    // How often progress is shown at most (half a second unless changed).
    void set_report_interval(std::chrono::microseconds interval) {
        worker_->set_report_interval(interval);
    }

    // Files and folders (the media files under them) join the running batch or start one.
    void add_files(const std::vector<std::string>& paths);
    // As the stop button: the current file ends complete and shorter, the rest is dropped.
    void request_stop();
    // Unmounts the connected player and powers it off, unless a batch runs.
    void eject_player();
    // Tells a screen reader what no focus change shows.
    void announce(const QString& words);

    bool converting() const { return converting_; }
    bool stopping() const { return stopping_; }
    const DeviceProfile& device() const { return device_; }

signals:
    void batch_started();                             // a batch starts
    void batch_finished(const BatchSummary& summary); // the batch is over
    // The summary's link: the files of the last batch that did not make it.
    void failed_files_requested(const BatchSummary& summary);

protected:
    void customEvent(QEvent* event) override;

private:
    // ConversionHost: called on the worker thread, posted to this one.
    void conversion_begin() override;
    void status_changed(const ConversionStatus& status) override;
    void file_finished(const BatchFile& file) override;
    void conversion_end(const BatchSummary& summary) override;

    // Runs `work` on this object's thread (queued; dropped if it is gone by then).
    void post(std::function<void()> work);
    void show_status(const ConversionStatus& status);
    void show_summary(const BatchSummary& summary);
    // The watcher's news: the worker hears of the player, the line shows it, a reader hears
    // of it when it came or went.
    void take_players();
    void take_eject_result(const QString& problem);
    // Tells the worker of the player files may go to now, when that changed.
    void offer_player();
    // Reads the player's free space again (a statvfs: only when the player changed or a batch
    // ended), then shows the line.
    void measure_player();
    void show_player_line();
    // "PSP 'STICK'": its model and its volume's name.
    static QString title_of(const PlayerRoot& player);
    QString free_space_text() const; // "12.4 GB"

    DropArea& view_;
    AppSettings settings_;
    DeviceProfile device_;
    QPointer<PlayerWatcher> player_watcher_;
    std::optional<PlayerRoot> player_;  // the first one connected
    std::optional<PlayerRoot> offered_; // the one the worker was last given
    ImmediateQuit* immediate_quit_ = nullptr;
    std::optional<std::uint64_t> player_free_bytes_;
    std::optional<PlayerRoot> ejected_; // the player last ejected (or being ejected)
    // "PSP 'STICK' can be unplugged", on the line until another player comes.
    QString eject_news_;
    std::string eject_news_path_; // the player it tells of

    // Read and written on this thread only, from the values the worker posts.
    bool converting_ = false;
    bool stopping_ = false;
    bool ejecting_ = false;
    ProgressPace pace_;
    std::optional<StoppedFile> stopped_file_; // the file a stop cut, this batch
    BatchSummary last_summary_;

    std::unique_ptr<ConversionWorker> worker_; // last: reset first in the destructor
};

} // namespace morvane
