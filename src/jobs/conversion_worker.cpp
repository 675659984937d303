// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_worker.h"

#include "jobs/language_codes.h"
#include "jobs/settings_choices.h"

#include <cstdlib>

namespace morvane {

class ConversionWorker::QueuedInputs : public BatchRun::Inputs {
public:
    QueuedInputs(ConversionWorker& worker, const std::string& output_folder)
        : worker_(worker), collector_(true, output_folder, [this] {
              const std::lock_guard lock(worker_.mutex_);
              return worker_.stop_requested_ || worker_.quit_requested_;
          }) {}

    bool next(CollectedInput& input) override {
        std::unique_lock lock(worker_.mutex_);
        while (worker_.found_.empty()) {
            if (worker_.queue_.empty() || worker_.quit_requested_ || worker_.stop_requested_) {
                return false;
            }
            const std::string path = worker_.queue_.front();
            worker_.queue_.pop_front();
            const std::size_t known = collector_.inputs().size();
            lock.unlock();
            collector_.add(path);
            lock.lock();
            worker_.found_.insert(worker_.found_.end(),
                                  collector_.inputs().begin() + static_cast<std::ptrdiff_t>(known),
                                  collector_.inputs().end());
        }
        input = worker_.found_.front();
        worker_.found_.pop_front();
        return true;
    }

    std::size_t waiting(std::vector<std::string>& first, std::size_t most) const override {
        const std::lock_guard lock(worker_.mutex_);
        // Files queued after a stop make the next batch.
        const std::size_t queued =
            worker_.stop_requested_ ? worker_.stopped_batch_rest_ : worker_.queue_.size();
        for (std::size_t at = 0; at < worker_.found_.size() && first.size() < most; ++at) {
            first.push_back(worker_.found_[at].path);
        }
        for (std::size_t at = 0; at < queued && first.size() < most; ++at) {
            first.push_back(worker_.queue_[at]);
        }
        return worker_.found_.size() + queued;
    }

    std::vector<std::string> take_rest() override {
        const std::lock_guard lock(worker_.mutex_);
        std::vector<std::string> left;
        for (const CollectedInput& found : worker_.found_) {
            left.push_back(found.path);
        }
        worker_.found_.clear();
        for (; worker_.stopped_batch_rest_ > 0 && !worker_.queue_.empty();
             --worker_.stopped_batch_rest_) {
            left.push_back(worker_.queue_.front());
            worker_.queue_.pop_front();
        }
        return left;
    }

    const InputCollector& collector() const { return collector_; }

private:
    ConversionWorker& worker_;
    InputCollector collector_; // used by the batch's taking thread only
};

ConversionWorker::ConversionWorker(ConversionHost& host, std::chrono::microseconds report_interval)
    : host_(host), report_interval_(report_interval.count()) {}

ConversionWorker::~ConversionWorker() {
    {
        std::lock_guard lock(mutex_);
        quit_requested_ = true;
        if (batch_ != nullptr) {
            batch_->request_stop();
        }
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
    if (batch_ != nullptr) {
        batch_->request_stop();
    }
}

bool ConversionWorker::quitting() const {
    std::lock_guard lock(mutex_);
    return quit_requested_;
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

bool ConversionWorker::run_batch(std::unique_lock<std::mutex>& lock) {
    batch_running_ = true;
    start_requested_ = false;
    // The batch keeps what it started with: a settings dialog left open changes the next.
    BatchRun::Settings settings;
    settings.device = device_;
    settings.output_folder = settings_.output_folder;
    settings.choices = conversion_choices(settings_, desktop_languages(std::getenv));
    settings.skip_existing = skip_existing_;
    settings.keep_folders = settings_.keep_folders != 0;
    settings.report_interval =
        std::chrono::microseconds(report_interval_.load(std::memory_order_relaxed));
    const bool sending = settings_.send_to_player != 0;
    last_status_ = ConversionStatus{};
    QueuedInputs inputs(*this, settings.output_folder);
    BatchRun batch(std::move(settings), inputs, *this, [this, sending] {
        const std::lock_guard player_lock(mutex_);
        return sending ? BatchRun::Player{player_generation_, player_opener_} : BatchRun::Player{};
    });
    batch_ = &batch;
    if (stop_requested_ || quit_requested_) {
        batch.request_stop();
    }
    lock.unlock();
    BatchSummary summary = batch.run();
    lock.lock();
    batch_ = nullptr;
    if (quit_requested_) {
        return false; // the host may be going away: it hears nothing more
    }
    summary.passed_over = static_cast<int>(inputs.collector().passed_over().size());
    summary.unreadable_folders = static_cast<int>(inputs.collector().unreadable_folders().size());
    // The idle line keeps the batch's last counter.
    ConversionStatus idle = last_status_;
    idle.converting = false;
    idle.percent = 0;
    idle.seconds = 0;
    idle.path.clear();
    idle.seconds_left.reset();
    batch_running_ = false;
    stop_requested_ = false;
    stopped_batch_rest_ = 0;
    // Files queued after a stop keep their start request: they make the next batch.
    start_requested_ = start_requested_ && !queue_.empty();
    lock.unlock();
    host_.status_changed(idle);
    host_.conversion_end(summary);
    lock.lock();
    return true;
}

void ConversionWorker::file_started(std::size_t, const std::string&) {
    if (!quitting()) {
        host_.conversion_begin();
    }
}

void ConversionWorker::progress(const BatchProgress& progress) {
    if (progress.going.empty()) {
        return; // between two files: the next one says where the batch stands
    }
    const BatchProgress::Going& file = progress.going.front();
    ConversionStatus status;
    status.converting = true;
    status.index = static_cast<int>(file.index);
    status.total = static_cast<int>(progress.total);
    status.percent = file.percent;
    status.seconds = file.seconds;
    status.path = file.path;
    status.film = file.film;
    status.seconds_left = progress.seconds_left;
    {
        const std::lock_guard lock(mutex_);
        if (quit_requested_) {
            return;
        }
        last_status_ = status;
    }
    host_.status_changed(status);
}

void ConversionWorker::file_finished(const BatchFile& file) {
    if (!quitting()) {
        host_.file_finished(file);
    }
}

void ConversionWorker::sending_finished(const std::vector<BatchFile>&, const SendFinish&) {
    // The summary counts the files the player took once its sending is finished.
}

} // namespace morvane
