#include "jobs/conversion_worker.h"

#include "jobs/string_table.h"

namespace morvane {

ConversionWorker::ConversionWorker(ConversionHost& host, PostBatchActions* post_batch_actions)
    : host_(host), post_batch_actions_(post_batch_actions), status_text_(strings::idle_prompt) {}

ConversionWorker::~ConversionWorker() {
    {
        std::lock_guard lock(quit_lock_);
        quit_requested_ = true;
    }
    if (worker_thread_.joinable()) {
        wake_event_.set();
        worker_thread_.join();
    }
}

void ConversionWorker::set_device(const DeviceProfile& device) {
    std::lock_guard lock(settings_lock_);
    device_ = device;
}

void ConversionWorker::set_settings(const AppSettings& settings) {
    std::lock_guard lock(settings_lock_);
    settings_ = settings;
}

void ConversionWorker::add_files(const std::vector<std::string>& paths) {
    std::lock_guard lock(list_lock_);
    file_list_.insert(file_list_.end(), paths.begin(), paths.end());
    total_count_ = static_cast<int>(file_list_.size());
}

int ConversionWorker::total_count() const {
    std::lock_guard lock(list_lock_);
    return total_count_;
}

void ConversionWorker::start_conversion() {
    if (!worker_thread_.joinable()) {
        // The event starts signalled: the first batch begins at once.
        worker_thread_ = std::thread([this] { worker_main(); });
        return;
    }
    {
        // A running batch re-reads the list before every file, and gives up `converting`
        // in the same step in which it finds the list exhausted: new files either join it
        // or start the next batch, never fall in between.
        std::lock_guard lock(list_lock_);
        if (converting_.load()) {
            return;
        }
    }
    {
        std::lock_guard lock(stop_lock_);
        stop_requested_ = false;
    }
    wake_event_.set();
}

void ConversionWorker::request_stop() {
    std::lock_guard lock(stop_lock_);
    stop_requested_ = true;
}

std::string ConversionWorker::current_path() const {
    std::lock_guard lock(list_lock_);
    return current_path_;
}

std::string ConversionWorker::status_text() const {
    std::lock_guard lock(status_lock_);
    return status_text_;
}

void ConversionWorker::set_status_text(std::string text) {
    {
        std::lock_guard lock(status_lock_);
        status_text_ = std::move(text);
    }
    host_.status_changed();
}

bool ConversionWorker::quit_requested() const {
    std::lock_guard lock(quit_lock_);
    return quit_requested_;
}

bool ConversionWorker::stop_requested() const {
    std::lock_guard lock(stop_lock_);
    return stop_requested_;
}

bool ConversionWorker::on_progress(int percent) {
    set_status_text(std::to_string(percent) + "%");
    return !quit_requested() && !stop_requested();
}

void ConversionWorker::worker_main() {
    for (;;) {
        wake_event_.wait();
        if (quit_requested()) {
            return;
        }
        {
            // A wake-up whose files an earlier batch already took has nothing to do.
            std::lock_guard lock(list_lock_);
            if (file_list_.empty()) {
                continue;
            }
        }
        // The engine's options are reset once per batch, never between its files.
        engine_.reset_engine(progress_);
        if (!run_batch()) {
            return;
        }
    }
}

bool ConversionWorker::run_batch() {
    ConversionJob job(engine_, progress_, supported_codecs_);
    bool stopped = false;
    for (int counter = 0;; ++counter) {
        if (quit_requested()) {
            return false;
        }
        // Each lock is taken alone: no two are ever held together.
        stopped = stop_requested();
        std::string path;
        {
            std::lock_guard lock(list_lock_);
            if (stopped || counter >= static_cast<int>(file_list_.size())) {
                // Files left over by a stop are dropped with the rest of the list.
                file_list_.clear();
                converting_ = false;
                break;
            }
            converting_ = true;
            path = file_list_[static_cast<std::size_t>(counter)];
            current_path_ = path;
        }
        host_.conversion_begin();

        DeviceProfile device;
        std::string output_folder;
        {
            std::lock_guard lock(settings_lock_);
            device = device_;
            output_folder = settings_.output_folder;
        }
        const JobOutcome outcome =
            job.convert_one(path, device, output_folder, this, [this, counter] {
                current_index_ = counter;
                host_.status_changed();
            });
        if (!outcome.converted) {
            failed_files_.push_back({path, outcome.reason});
        }
        host_.file_finished(path, outcome);
    }

    set_status_text(strings::idle_prompt);
    host_.conversion_end();
    if (!failed_files_.empty()) {
        host_.show_failed_files(std::move(failed_files_));
        failed_files_.clear();
    }
    if (post_batch_actions_ != nullptr) {
        AppSettings settings;
        {
            std::lock_guard lock(settings_lock_);
            settings = settings_;
        }
        post_batch_actions_->run(settings, stopped);
    }
    {
        std::lock_guard lock(stop_lock_);
        stop_requested_ = false;
    }
    return true;
}

} // namespace morvane
