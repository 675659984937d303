#include "cli/parallel_batch.h"

#include "cli/printable_name.h"
#include "cli/progress_line.h"

#include <algorithm>
#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>

namespace morvane {

namespace {

using Clock = std::chrono::steady_clock;

// At most four redraws a second: a terminal over SSH should not be flooded.
constexpr auto redraw_interval = std::chrono::milliseconds(250);

double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

int terminal_width(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

// One converter: a worker with its own engine, and the host it reports to.
class ParallelBatch::Slot : public ConversionHost {
public:
    Slot(ParallelBatch& batch, int index) : batch_(batch), index_(index), worker_(*this) {}

    ConversionWorker& worker() { return worker_; }

    void conversion_begin() override {}
    void status_changed(const ConversionStatus& status) override {
        batch_.on_status(index_, status);
    }
    void file_finished(const std::string&, const JobOutcome& outcome) override {
        batch_.on_file_finished(index_, outcome);
    }
    void conversion_end(const BatchSummary&) override { batch_.on_batch_end(index_); }

    // Guarded by the batch's mutex.
    bool busy = false;
    std::size_t record = 0;
    int percent = 0;
    Clock::time_point started;

private:
    ParallelBatch& batch_;
    int index_;
    ConversionWorker worker_; // last: it reports to this slot until it is joined
};

ParallelBatch::ParallelBatch(const DeviceProfile& device, const AppSettings& settings,
                             Options options, std::FILE* results, std::FILE* messages)
    : device_(device), settings_(settings), options_(options), results_(results),
      messages_(messages) {}

ParallelBatch::~ParallelBatch() = default;

std::vector<InputRecord> ParallelBatch::run(const std::vector<std::string>& inputs) {
    {
        std::lock_guard lock(mutex_);
        records_.clear();
        for (const std::string& input : inputs) {
            records_.emplace_back().input = input;
        }
        batch_started_ = Clock::now();
    }
    const int wanted = std::max(1, std::min<int>(options_.jobs, static_cast<int>(inputs.size())));
    for (int index = static_cast<int>(slots_.size()); index < wanted; ++index) {
        auto slot = std::make_unique<Slot>(*this, index);
        slot->worker().set_device(device_);
        slot->worker().set_settings(settings_);
        slot->worker().set_skip_existing(options_.skip_existing);
        std::lock_guard lock(mutex_);
        slots_.push_back(std::move(slot));
    }

    std::size_t next = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        for (auto& slot : slots_) {
            if (!slot->busy && !stop_requested_ && next < records_.size()) {
                const std::size_t index = next++;
                slot->busy = true;
                slot->record = index;
                slot->percent = 0;
                slot->started = Clock::now();
                const std::string input = records_[index].input;
                // The worker's calls come without this lock; so do its hosts' calls.
                lock.unlock();
                slot->worker().add_files({input});
                slot->worker().start_conversion();
                lock.lock();
                if (stop_requested_) {
                    // The stop may have reached the worker before its file did.
                    lock.unlock();
                    slot->worker().request_stop();
                    lock.lock();
                }
            }
        }
        const bool any_busy =
            std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) { return slot->busy; });
        if (!any_busy && (stop_requested_ || next >= records_.size())) {
            break;
        }
        slot_free_.wait(lock);
    }
    clear_progress();
    // What the stop left in the queue is listed too: every input gets its line.
    for (const InputRecord& record : records_) {
        if (!record.finished && results_ != nullptr) {
            std::fputs((result_line(record) + "\n").c_str(), results_);
        }
    }
    if (results_ != nullptr) {
        std::fflush(results_);
    }
    return records_;
}

void ParallelBatch::request_stop() {
    std::vector<ConversionWorker*> workers;
    {
        std::lock_guard lock(mutex_);
        stop_requested_ = true;
        for (auto& slot : slots_) {
            workers.push_back(&slot->worker());
        }
    }
    slot_free_.notify_all();
    for (ConversionWorker* worker : workers) {
        worker->request_stop();
    }
}

bool ParallelBatch::stop_requested() const {
    std::lock_guard lock(mutex_);
    return stop_requested_;
}

void ParallelBatch::on_status(int slot, const ConversionStatus& status) {
    std::lock_guard lock(mutex_);
    if (status.converting) {
        Slot& converter = *slots_[static_cast<std::size_t>(slot)];
        converter.percent = std::clamp(status.percent, 0, 100);
        time_left_.file_progress(static_cast<int>(converter.record), status.seconds,
                                 converter.percent / 100.0);
    }
    draw_progress(false);
}

void ParallelBatch::on_file_finished(int slot, const JobOutcome& outcome) {
    std::lock_guard lock(mutex_);
    finish_record(slots_[static_cast<std::size_t>(slot)]->record, outcome);
}

void ParallelBatch::on_batch_end(int slot) {
    {
        std::lock_guard lock(mutex_);
        slots_[static_cast<std::size_t>(slot)]->busy = false;
    }
    slot_free_.notify_all();
}

void ParallelBatch::finish_record(std::size_t index, const JobOutcome& outcome) {
    InputRecord& record = records_[index];
    if (record.finished) {
        return;
    }
    record.finished = true;
    record.outcome = outcome;
    switch (outcome.status) {
    case JobStatus::converted:
    case JobStatus::stopped:
    case JobStatus::incomplete:
        time_left_.file_progress(static_cast<int>(index), outcome.seconds_total, 1.0);
        break;
    default:
        time_left_.file_passed(static_cast<int>(index));
        break;
    }
    for (const auto& slot : slots_) {
        if (slot->busy && slot->record == index) {
            record.elapsed = seconds_between(slot->started, Clock::now());
        }
    }
    ++finished_count_;
    if (results_ != nullptr) {
        clear_progress();
        // A closed standard output (a pipe to `head`) fails here; the batch goes on.
        std::fputs((result_line(record) + "\n").c_str(), results_);
        std::fflush(results_);
    }
    draw_progress(true);
}

void ParallelBatch::draw_progress(bool at_once) {
    if (!options_.show_progress || stop_requested_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!at_once && progress_shown_ && now - progress_drawn_ < redraw_interval) {
        return;
    }
    std::vector<ActiveFile> active;
    for (const auto& slot : slots_) {
        if (slot->busy && !records_[slot->record].finished) {
            const std::string name =
                std::filesystem::path(records_[slot->record].input).filename().string();
            active.push_back({printable_name(name), slot->percent});
        }
    }
    if (active.empty()) {
        clear_progress();
        return;
    }
    const std::optional<double> left = time_left_.seconds_left(seconds_between(batch_started_, now),
                                                               static_cast<int>(records_.size()));
    const int started = finished_count_ + static_cast<int>(active.size());
    // One column spare: writing the last one makes some terminals wrap.
    const std::string line = progress_line(active, started, static_cast<int>(records_.size()), left,
                                           terminal_width(messages_) - 1);
    std::fprintf(messages_, "\r\033[K%s", line.c_str());
    std::fflush(messages_);
    progress_shown_ = true;
    progress_drawn_ = now;
}

void ParallelBatch::clear_progress() {
    if (progress_shown_) {
        std::fputs("\r\033[K", messages_);
        std::fflush(messages_);
        progress_shown_ = false;
    }
}

} // namespace morvane
