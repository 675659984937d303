// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_worker.h"

#include "jobs/output_folder.h"
#include "jobs/sent_media.h"

namespace morvane {

ConversionWorker::ConversionWorker(ConversionHost& host, std::chrono::microseconds report_interval)
    : ProgressSink(report_interval), host_(host) {}

ConversionWorker::~ConversionWorker() {
    {
        std::lock_guard lock(mutex_);
        quit_requested_ = true;
    }
    wake_.notify_all();
    if (worker_thread_.joinable()) {
        worker_thread_.join();
    }
}

void ConversionWorker::set_device(const DeviceProfile& device) {
    std::lock_guard lock(mutex_);
    device_ = device;
}

void ConversionWorker::set_settings(const AppSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void ConversionWorker::set_skip_existing(bool skip_existing) {
    std::lock_guard lock(mutex_);
    skip_existing_ = skip_existing;
}

void ConversionWorker::set_player(PlayerSenderOpener opener) {
    std::lock_guard lock(mutex_);
    player_opener_ = std::move(opener);
    ++player_generation_;
}

bool ConversionWorker::busy() const {
    std::lock_guard lock(mutex_);
    return batch_running_ || batch_due();
}

void ConversionWorker::add_files(const std::vector<std::string>& paths) {
    std::lock_guard lock(mutex_);
    queue_.insert(queue_.end(), paths.begin(), paths.end());
}

void ConversionWorker::start_conversion() {
    {
        std::lock_guard lock(mutex_);
        start_requested_ = true;
    }
    // Started on the first start, not before: the owner may first set up how signals are
    // taken (a thread inherits the signal mask of the thread that creates it).
    if (!worker_thread_.joinable()) {
        worker_thread_ = std::thread([this] { worker_main(); });
    }
    wake_.notify_all();
}

void ConversionWorker::request_stop() {
    std::lock_guard lock(mutex_);
    if (stop_requested_ || !(batch_running_ || batch_due())) {
        return;
    }
    stop_requested_ = true;
    // Files queued from now on start the next batch.
    stopped_batch_rest_ = queue_.size();
}

int ConversionWorker::batch_total() const {
    const std::size_t waiting = stop_requested_ ? stopped_batch_rest_ : queue_.size();
    return current_index_ + 1 + static_cast<int>(found_.size() + waiting);
}

bool ConversionWorker::on_progress(int percent) {
    ConversionStatus status;
    {
        std::lock_guard lock(mutex_);
        status = {true, current_index_, batch_total(), percent, current_seconds_, current_path_};
        status.film = current_film_;
    }
    host_.status_changed(status);
    // Read after the host was told: a stop asked meanwhile is honoured now, not half a
    // second later.
    std::lock_guard lock(mutex_);
    return !quit_requested_ && !stop_requested_;
}

bool ConversionWorker::stop_requested() const {
    std::lock_guard lock(mutex_);
    return quit_requested_ || stop_requested_;
}

void ConversionWorker::worker_main() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_requested_ || batch_due(); });
        if (quit_requested_ || !run_batch(lock)) {
            return;
        }
    }
}

bool ConversionWorker::next_input(std::unique_lock<std::mutex>& lock, InputCollector& collector,
                                  CollectedInput& input) {
    while (found_.empty()) {
        if (queue_.empty() || quit_requested_ || stop_requested_) {
            return false;
        }
        const std::string path = queue_.front();
        queue_.pop_front();
        const std::size_t known = collector.inputs().size();
        lock.unlock();
        collector.add(path);
        lock.lock();
        found_.insert(found_.end(), collector.inputs().begin() + static_cast<std::ptrdiff_t>(known),
                      collector.inputs().end());
    }
    input = found_.front();
    found_.pop_front();
    return true;
}

bool ConversionWorker::run_batch(std::unique_lock<std::mutex>& lock) {
    batch_running_ = true;
    start_requested_ = false;
    BatchSummary summary;
    BatchPlayer player;
    lock.unlock();
    ConversionJob job(engine_);
    lock.lock();
    // A folder deleted or made read-only since the last batch is made again or refused once.
    const std::string folder = settings_.output_folder;
    lock.unlock();
    summary.output_folder_problem = prepare_output_folder(folder).value_or("");
    // The player that is there now is asked at once whether it takes files at all.
    follow_player(player, summary);
    lock.lock();
    InputCollector collector(true, folder, [this] {
        const std::lock_guard stop_lock(mutex_);
        return stop_requested_ || quit_requested_;
    });

    for (int index = 0;; ++index) {
        if (quit_requested_) {
            lock.unlock();
            close_player(player, summary); // what reached an iPod joins its library
            lock.lock();
            return false;
        }
        CollectedInput input;
        if (stop_requested_ || !next_input(lock, collector, input)) {
            if (quit_requested_) {
                continue;
            }
            if (!stop_requested_) {
                break;
            }
            summary.stop_requested = true;
            std::vector<std::string> left;
            for (const CollectedInput& found : found_) {
                left.push_back(found.path);
            }
            found_.clear();
            for (; stopped_batch_rest_ > 0; --stopped_batch_rest_) {
                left.push_back(queue_.front());
                queue_.pop_front();
            }
            for (const std::string& path : left) {
                summary.count(JobStatus::not_started);
                JobOutcome outcome;
                outcome.status = JobStatus::not_started;
                lock.unlock();
                host_.file_finished(path, outcome);
                lock.lock();
            }
            break;
        }
        const std::string path = input.path;
        if (!summary.output_folder_problem.empty() || input.duplicate()) {
            JobOutcome outcome;
            outcome.status = input.duplicate() ? JobStatus::skipped : JobStatus::failed;
            outcome.reason =
                input.duplicate() ? "same file as " + input.same_as : summary.output_folder_problem;
            summary.count(outcome.status);
            if (!input.duplicate()) {
                summary.failed_files.push_back({path, outcome.reason});
            }
            lock.unlock();
            host_.file_finished(path, outcome);
            lock.lock();
            continue;
        }
        current_index_ = index;
        current_seconds_ = 0;
        current_film_ = false;
        current_path_ = path;
        const DeviceProfile device = device_;
        const std::string output_folder = settings_.output_folder;
        job.set_skip_existing(skip_existing_);
        job.set_keep_folders(settings_.keep_folders != 0);
        job.set_video_codec(settings_.video_codec);
        const ConversionStatus status{true, index, batch_total(), 0, 0, path};
        lock.unlock();

        host_.conversion_begin();
        host_.status_changed(status);
        const JobOutcome outcome =
            job.convert_one(input, device, output_folder, this, [this](double seconds, bool film) {
                const std::lock_guard duration_lock(mutex_);
                current_seconds_ = seconds;
                current_film_ = film;
            });

        summary.count(outcome.status);
        if (outcome.status == JobStatus::failed || outcome.status == JobStatus::incomplete) {
            summary.failed_files.push_back({path, outcome.reason});
        }
        // On this thread, after the file is whole in the output folder; the window only
        // waits for the news. A player connected while the file converted takes it too.
        if (outcome.has_complete_output()) {
            follow_player(player, summary);
            send_to_player(player, path, outcome, device, summary);
        }
        lock.lock();
        if (quit_requested_) {
            lock.unlock();
            close_player(player, summary);
            lock.lock();
            return false; // the host may be going away: it hears nothing more
        }
        lock.unlock();
        host_.file_finished(path, outcome);
        lock.lock();
    }

    summary.no_media_found = collector.inputs().empty() && !summary.stop_requested;
    // Once per batch, also after a stop: an iPod's library takes the files sent only now.
    lock.unlock();
    close_player(player, summary);
    lock.lock();
    if (quit_requested_) {
        return false;
    }
    // The idle line keeps the batch's last counter.
    const ConversionStatus idle{false, current_index_, batch_total(), 0, 0, {}};
    batch_running_ = false;
    stop_requested_ = false;
    stopped_batch_rest_ = 0;
    current_index_ = 0;
    current_seconds_ = 0;
    current_path_.clear();
    // Files queued after a stop keep their start request: they make the next batch.
    start_requested_ = start_requested_ && !queue_.empty();
    lock.unlock();
    host_.status_changed(idle);
    host_.conversion_end(summary);
    lock.lock();
    return true;
}

void ConversionWorker::follow_player(BatchPlayer& player, BatchSummary& summary) {
    PlayerSenderOpener opener;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        const bool sending = settings_.send_to_player != 0 && device_.accepts_sent_files;
        opener = sending ? player_opener_ : PlayerSenderOpener();
        generation = sending ? player_generation_ : 0;
    }
    if (player.generation == generation && (player.sender || !opener)) {
        return;
    }
    close_player(player, summary); // the player changed (or went) since its last file
    player.generation = generation;
    if (opener) {
        player.sender = opener();
    }
    if (player.sender) {
        player.refusal = player.sender->refusal();
        summary.player_refusal = player.refusal;
    }
}

void ConversionWorker::send_to_player(BatchPlayer& player, const std::string& input,
                                      const JobOutcome& outcome, const DeviceProfile& device,
                                      BatchSummary& summary) {
    // A player that takes nothing says so once, for the batch, not for every file.
    if (!player.sender || !player.refusal.empty()) {
        return;
    }
    const SendOutcome sent = player.sender->send(file_to_send(outcome, device));
    if (!sent.sent()) {
        ++summary.not_sent;
        summary.not_sent_files.push_back({input, sent.reason});
    } else if (sent.already_there) {
        ++summary.already_on_player;
    } else if (sent.pending) {
        player.pending_inputs.push_back(input);
    } else {
        ++summary.sent;
    }
}

void ConversionWorker::close_player(BatchPlayer& player, BatchSummary& summary) {
    if (!player.sender) {
        return;
    }
    const SendFinish finish = player.sender->finish();
    for (const std::string& input : player.pending_inputs) {
        if (finish.failure) {
            ++summary.not_sent;
            summary.not_sent_files.push_back({input, *finish.failure});
        } else {
            ++summary.sent;
        }
    }
    player = BatchPlayer{};
}

} // namespace morvane
