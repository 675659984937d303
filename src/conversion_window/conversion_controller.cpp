// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's reports, the player and the announcements, turned into what the view shows.
#include "conversion_window/conversion_controller.h"

#include "conversion_window/announcer.h"
#include "conversion_window/drop_area.h"
#include "conversion_window/posted_call.h"
#include "conversion_window/progress_panel.h"
#include "jobs/clock_text.h"
#include "platform/free_space.h"
#include "platform/sanitizers.h"
#include "players/connected_player_sender.h"
#include "players/player_model_name.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cmath>

#if MORVANE_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace morvane {

namespace {

#if MORVANE_THREAD_SANITIZER
// Only its address is used: the posted call reads nothing of its own before it acquires.
constexpr char queue_sync_point = 0;
void queue_handed_over() {
    __tsan_release(const_cast<char*>(&queue_sync_point));
}
void queue_taken_over() {
    __tsan_acquire(const_cast<char*>(&queue_sync_point));
}
#else
void queue_handed_over() {}
void queue_taken_over() {}
#endif

} // namespace

ConversionController::ConversionController(DropArea& view, QObject* parent)
    : QObject(parent), view_(view), worker_(std::make_unique<ConversionWorker>(*this)) {
    connect(&view_, &DropArea::files_added, this, &ConversionController::add_files);
    connect(&view_, &DropArea::stop_clicked, this, &ConversionController::request_stop);
    connect(&view_, &DropArea::eject_clicked, this, &ConversionController::eject_player);
    connect(&view_, &DropArea::failed_files_clicked, this,
            [this] { emit failed_files_requested(last_summary_); });
}

ConversionController::~ConversionController() {
    // A running conversion stops at its next progress report; the thread is joined here,
    // before the host it reports to goes away.
    worker_.reset();
}

void ConversionController::set_device(const DeviceProfile& device) {
    device_ = device;
    view_.show_device_picture(device_.image_path);
    worker_->set_device(device_);
    show_player_line();
}

void ConversionController::set_settings(const AppSettings& settings) {
    settings_ = settings;
    show_player_line();
}

void ConversionController::set_player_watcher(PlayerWatcher* watcher) {
    if (player_watcher_ != nullptr) {
        disconnect(player_watcher_, nullptr, this, nullptr);
    }
    player_watcher_ = watcher;
    ejecting_ = false;
    ejected_.reset();
    eject_news_.clear();
    // The player there when the program starts is shown, not announced: it did not come.
    player_.reset();
    if (watcher != nullptr) {
        const std::vector<PlayerRoot> players = watcher->players();
        if (!players.empty()) {
            player_ = players.front();
        }
        connect(watcher, &PlayerWatcher::players_changed, this,
                &ConversionController::take_players);
        connect(watcher, &PlayerWatcher::eject_finished, this,
                &ConversionController::take_eject_result);
    }
    measure_player();
    take_players();
}

void ConversionController::take_players() {
    std::optional<PlayerRoot> found;
    if (player_watcher_ != nullptr) {
        const std::vector<PlayerRoot> players = player_watcher_->players();
        if (!players.empty()) {
            found = players.front();
        }
    }
    const std::optional<PlayerRoot> before = player_;
    player_ = found;
    offer_player();
    if (found == before) {
        show_player_line();
        return;
    }
    const QString gone_title = before ? title_of(*before) : QString();
    const bool gone_by_eject = before && ejected_ && before->path == ejected_->path;
    if (player_) {
        eject_news_.clear(); // a player came: the line is its own
        ejected_.reset();
    }
    measure_player();
    if (player_) {
        const QString title = title_of(*player_);
        announce(player_free_bytes_ ? tr("%1 connected, %2 free").arg(title, free_space_text())
                                    : tr("%1 connected").arg(title));
    } else if (before && !gone_by_eject) {
        announce(tr("%1 disconnected").arg(gone_title));
    }
}

void ConversionController::offer_player() {
    // Whether a file goes onto it is the worker's to decide, by the settings and the device
    // of its batch. Nothing goes onto a player on its way out; the worker hears only of a
    // change (a new offer ends the batch's use of the last one).
    std::optional<PlayerRoot> offer = ejecting_ ? std::nullopt : player_;
    if (offer == offered_) {
        return;
    }
    offered_ = std::move(offer);
    worker_->set_player(offered_ ? ConnectedPlayerSender::opener(*offered_, immediate_quit_)
                                 : PlayerSenderOpener());
}

QString ConversionController::title_of(const PlayerRoot& player) {
    std::string volume = player.path;
    while (volume.size() > 1 && volume.back() == '/') {
        volume.pop_back();
    }
    volume = volume.substr(volume.find_last_of('/') + 1);
    return tr("%1 '%2'").arg(QString::fromStdString(player_model_name(player)),
                             QFile::decodeName(QByteArray::fromStdString(volume)));
}

QString ConversionController::free_space_text() const {
    return QLocale().formattedDataSize(static_cast<qint64>(player_free_bytes_.value_or(0)), 1,
                                       QLocale::DataSizeSIFormat);
}

void ConversionController::eject_player() {
    // Never while a batch may write to it; the link is hidden then, but a key may come first.
    if (!player_ || player_watcher_ == nullptr || ejecting_ || worker_->busy()) {
        return;
    }
    ejecting_ = true;
    ejected_ = player_; // it may be gone by the time the eject is done
    eject_news_ = tr("Ejecting %1…").arg(title_of(*ejected_));
    eject_news_path_ = ejected_->path;
    offer_player();
    show_player_line();
    player_watcher_->eject(*player_);
}

void ConversionController::take_eject_result(const QString& problem) {
    if (!ejecting_ || !ejected_) {
        return;
    }
    ejecting_ = false;
    const QString title = title_of(*ejected_);
    // The news stays on the player's line until another player comes; the summary stays.
    eject_news_ = problem.isEmpty() ? tr("%1 can be unplugged").arg(title)
                                    : tr("Can't eject %1: %2").arg(title, problem);
    if (!problem.isEmpty()) {
        ejected_.reset(); // it stays, takes files again, and may be ejected again
    }
    announce(eject_news_);
    take_players();
}

void ConversionController::measure_player() {
    player_free_bytes_.reset();
    if (player_) {
        const auto space = free_space(player_->path);
        if (const auto* bytes = std::get_if<std::uint64_t>(&space)) {
            player_free_bytes_ = *bytes;
        }
    }
    show_player_line();
}

void ConversionController::show_player_line() {
    DropArea::PlayerLine line;
    const bool news_shown =
        !eject_news_.isEmpty() && (!player_ || player_->path == eject_news_path_);
    if (news_shown) {
        line.text = eject_news_;
    } else if (settings_.send_to_player != 0 && player_) {
        // Said only while a player is connected: without one there is nothing to send.
        if (!device_.accepts_sent_files) {
            line.text = tr("This device cannot receive files from Morvane");
        } else {
            line.title = title_of(*player_);
            if (player_free_bytes_) {
                line.free_space = free_space_text();
            }
        }
    }
    const bool can_eject = player_ && player_watcher_ != nullptr && player_watcher_->can_eject();
    if (can_eject && !ejecting_ && (!line.title.isEmpty() || news_shown)) {
        line.eject_title = title_of(*player_);
    }
    view_.show_player_line(line);
}

void ConversionController::add_files(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    // Folders are walked by the worker, on its thread, past the output folder.
    worker_->set_settings(settings_);
    worker_->add_files(paths);
    worker_->start_conversion();
}

void ConversionController::request_stop() {
    if (!converting_ || stopping_) {
        return;
    }
    stopping_ = true;
    // How the stop ended is said once, with the end of the batch.
    view_.show_stopping();
    worker_->request_stop();
}

void ConversionController::announce(const QString& words) {
    view_.announcer()->announce(words);
}

void ConversionController::post(std::function<void()> work) {
    // Qt's event queue orders the worker's writes before the call runs here (an event that
    // is left when this object goes is deleted with it). ThreadSanitizer cannot see inside
    // Qt's own locks, so it is told of the hand-over, once the call is whole: the reason
    // this is an event of ours rather than a functor handed to invokeMethod, which builds
    // its copy inside Qt after any point that could be marked here.
    auto* call = new PostedCall(std::move(work));
    queue_handed_over();
    QCoreApplication::postEvent(this, call);
}

void ConversionController::customEvent(QEvent* event) {
    queue_taken_over(); // before anything of the event is read
    if (event->type() == PostedCall::posted_call_type()) {
        static_cast<PostedCall*>(event)->run();
        return;
    }
    QObject::customEvent(event);
}

void ConversionController::conversion_begin() {
    post([this] {
        if (converting_) {
            return; // the next file of the same batch
        }
        converting_ = true;
        stopping_ = false;
        pace_.start(ProgressPace::Clock::now());
        stopped_file_.reset();
        view_.show_batch_running(true);
        show_player_line(); // no Eject while the batch may write to the player
        emit batch_started();
    });
}

void ConversionController::status_changed(const ConversionStatus& status) {
    post([this, status] { show_status(status); });
}

void ConversionController::file_finished(const BatchFile& file) {
    // The summary at the end of the batch says how each file ended; the one a stop cut is
    // named when the batch's end is spoken.
    if (file.outcome.status == JobStatus::stopped) {
        post([this, file] { stopped_file_ = StoppedFile{file.path, file.outcome}; });
    }
}

void ConversionController::conversion_end(const BatchSummary& summary) {
    post([this, summary] {
        converting_ = false;
        stopping_ = false;
        show_summary(summary);
        view_.show_batch_running(false);
        emit batch_finished(summary);
    });
}

void ConversionController::show_status(const ConversionStatus& status) {
    if (!status.converting || !converting_) {
        return; // the idle texts stay as the summary left them
    }
    ProgressPanel* panel = view_.progress_panel();
    panel->show_file(file_name_of(status.path), status.percent);
    const std::optional<double> left = status.seconds_left;
    QString counts =
        tr("%1 of %2").arg(QString::number(status.index + 1), QString::number(status.total));
    if (left) {
        counts =
            tr("%1 · %2 left").arg(counts, QString::fromStdString(clock_text(std::ceil(*left))));
    }
    panel->show_counts(counts);
    if (!stopping_ && pace_.due(status.index, ProgressPace::Clock::now())) {
        announce(progress_words(status.index, status.total, left));
    }
}

void ConversionController::show_summary(const BatchSummary& summary) {
    last_summary_ = summary;
    const QString text = summary_text(summary);
    view_.show_idle_text(text.isEmpty() ? tr("Drop audio/video files") : text,
                         failed_files_link_text(summary));
    measure_player(); // the space the batch took
    if (!text.isEmpty() || summary.stop_requested) {
        announce(batch_end_words(summary, stopped_file_));
    }
}

} // namespace morvane
