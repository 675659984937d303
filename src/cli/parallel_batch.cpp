// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/parallel_batch.h"

#include "cli/printable_name.h"
#include "cli/progress_line.h"
#include "engine/progress_sink.h"
#include "jobs/sent_media.h"

#include <algorithm>
#include <filesystem>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
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

// One converter: an engine and a job of its own, and the sink its conversions report to.
class ParallelBatch::Converter : public ProgressSink {
public:
    explicit Converter(ParallelBatch& batch) : job(engine), batch_(batch) {}

    bool on_progress(int reached) override { return batch_.on_progress(*this, reached); }
    bool stop_requested() const override { return batch_.stop_requested(); }

    // Used by this converter's thread only.
    Engine engine;
    ConversionJob job;

    // Guarded by the batch's mutex.
    bool busy = false;
    std::size_t record = 0;
    int percent = 0;
    double seconds = 0; // the current input's duration, once known
    BatchTimeLeft::Kind kind = BatchTimeLeft::Kind::film;
    Clock::time_point started;

private:
    ParallelBatch& batch_;
};

ParallelBatch::ParallelBatch(const DeviceProfile& device, const AppSettings& settings,
                             Options options, std::FILE* results, std::FILE* messages)
    : device_(device), settings_(settings), options_(options), results_(results),
      messages_(messages) {}

ParallelBatch::~ParallelBatch() = default;

std::vector<InputRecord> ParallelBatch::run(const std::vector<CollectedInput>& inputs) {
    {
        std::lock_guard lock(mutex_);
        records_.clear();
        inputs_ = inputs;
        next_ = 0;
        finished_count_ = 0;
        time_left_ = BatchTimeLeft{};
        batch_started_ = Clock::now();
        for (const CollectedInput& input : inputs) {
            InputRecord& record = records_.emplace_back();
            record.input = input.path;
            if (input.duplicate()) {
                record.finished = true;
                record.outcome.status = JobStatus::skipped;
                record.outcome.reason = "same file as " + input.same_as;
                time_left_.file_passed(static_cast<int>(records_.size() - 1));
                ++finished_count_;
            }
        }
    }
    const int wanted = std::max(1, std::min<int>(options_.jobs, static_cast<int>(inputs.size())));
    converters_.clear();
    for (int index = 0; index < wanted; ++index) {
        converters_.push_back(std::make_unique<Converter>(*this));
        converters_.back()->job.set_skip_existing(options_.skip_existing);
        converters_.back()->job.set_video_codec(settings_.video_codec);
        converters_.back()->job.set_keep_folders(options_.keep_folders);
    }
    std::vector<std::thread> threads;
    for (auto& converter : converters_) {
        try {
            threads.emplace_back([this, &converter] { convert_from_queue(*converter); });
        } catch (const std::system_error&) {
            break; // fewer converters than asked: those that started take the whole queue
        }
    }
    if (threads.empty()) {
        convert_from_queue(*converters_.front());
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::string lines;
    {
        std::lock_guard lock(mutex_);
        finish_sending();
        // What the stop left in the queue is listed too, and the duplicates: every input gets
        // its line.
        for (InputRecord& record : records_) {
            lines += result_text(record);
        }
    }
    show(lines, std::string());
    return records_;
}

void ParallelBatch::convert_from_queue(Converter& converter) {
    for (;;) {
        CollectedInput input;
        std::optional<std::string> progress;
        {
            std::lock_guard lock(mutex_);
            while (next_ < records_.size() && records_[next_].finished) {
                ++next_; // a duplicate
            }
            if (stop_requested_ || next_ >= records_.size()) {
                return;
            }
            converter.busy = true;
            converter.record = next_++;
            converter.percent = 0;
            converter.seconds = 0;
            converter.started = Clock::now();
            input = inputs_[converter.record];
            progress = progress_text(true);
        }
        show({}, progress);
        const JobOutcome outcome = converter.job.convert_one(
            input, device_, settings_.output_folder, &converter, [&](double seconds, bool film) {
                std::lock_guard lock(mutex_);
                converter.seconds = seconds;
                converter.kind = film ? BatchTimeLeft::Kind::film : BatchTimeLeft::Kind::sound;
            });
        // Outside the lock: a copy onto a slow player must not hold up the other converters.
        std::optional<SendOutcome> sent;
        if (player_ != nullptr && outcome.has_complete_output()) {
            sent = player_->send(file_to_send(outcome, device_));
        }
        std::string line;
        {
            std::lock_guard lock(mutex_);
            line = finish_record(converter.record, outcome, sent);
            converter.busy = false;
            progress = progress_text(true);
        }
        show(line, progress);
    }
}

void ParallelBatch::request_stop() {
    stop_requested_ = true;
}

bool ParallelBatch::stop_requested() const {
    return stop_requested_;
}

bool ParallelBatch::on_progress(Converter& converter, int percent) {
    std::optional<std::string> progress;
    {
        std::lock_guard lock(mutex_);
        converter.percent = std::clamp(percent, 0, 100);
        time_left_.file_progress(static_cast<int>(converter.record), converter.seconds,
                                 converter.percent / 100.0, converter.kind,
                                 seconds_between(batch_started_, Clock::now()));
        progress = progress_text(false);
    }
    // A redraw waits for no one: another converter may be stuck writing its result.
    show({}, progress, false);
    return !stop_requested_;
}

std::string ParallelBatch::finish_record(std::size_t index, const JobOutcome& outcome,
                                         const std::optional<SendOutcome>& sent) {
    InputRecord& record = records_[index];
    record.finished = true;
    record.outcome = outcome;
    record.sent = sent;
    switch (outcome.status) {
    case JobStatus::converted:
    case JobStatus::stopped:
    case JobStatus::incomplete:
        for (const auto& converter : converters_) {
            if (converter->busy && converter->record == index) {
                time_left_.file_progress(static_cast<int>(index), outcome.seconds_total, 1.0,
                                         converter->kind,
                                         seconds_between(batch_started_, Clock::now()));
            }
        }
        break;
    default:
        time_left_.file_passed(static_cast<int>(index));
        break;
    }
    for (const auto& converter : converters_) {
        if (converter->busy && converter->record == index) {
            record.elapsed = seconds_between(converter->started, Clock::now());
        }
    }
    ++finished_count_;
    // A file the player lists only once the batch is over is reported then.
    return sent && sent->pending ? std::string() : result_text(record);
}

void ParallelBatch::finish_sending() {
    if (player_ == nullptr) {
        return;
    }
    const SendFinish finish = player_->finish();
    if (finish.failure && messages_ != nullptr) {
        std::fprintf(messages_, "morvane-convert: %s\n", printable_name(*finish.failure).c_str());
    }
    if (finish.warning && messages_ != nullptr) {
        std::fprintf(messages_, "morvane-convert: %s\n", printable_name(*finish.warning).c_str());
    }
    for (InputRecord& record : records_) {
        if (record.sent && record.sent->pending) {
            record.sent->pending = false;
            if (finish.failure) {
                record.sent->landed_path.clear();
                record.sent->reason = *finish.failure;
            }
        }
    }
}

std::string ParallelBatch::result_text(InputRecord& record) {
    if (record.printed || results_ == nullptr) {
        return {};
    }
    record.printed = true;
    return result_line(record) + "\n";
}

std::optional<std::string> ParallelBatch::progress_text(bool at_once) {
    if (!options_.show_progress || stop_requested_) {
        return std::nullopt;
    }
    const Clock::time_point now = Clock::now();
    if (!at_once && now - progress_drawn_ < redraw_interval) {
        return std::nullopt;
    }
    std::vector<ActiveFile> active;
    for (const auto& converter : converters_) {
        if (converter->busy && !records_[converter->record].finished) {
            const std::string name =
                std::filesystem::path(records_[converter->record].input).filename().string();
            active.push_back({printable_name(name), converter->percent});
        }
    }
    if (active.empty()) {
        return std::string();
    }
    const std::optional<double> left = time_left_.seconds_left(seconds_between(batch_started_, now),
                                                               static_cast<int>(records_.size()));
    const int started = finished_count_ + static_cast<int>(active.size());
    // One column spare: writing the last one makes some terminals wrap.
    progress_drawn_ = now;
    return progress_line(active, started, static_cast<int>(records_.size()), left,
                         terminal_width(messages_) - 1);
}

void ParallelBatch::show(const std::string& results, const std::optional<std::string>& progress,
                         bool wait) {
    std::unique_lock lock(output_mutex_, std::defer_lock);
    if (wait) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;
    }
    if (progress_shown_ && (!results.empty() || progress)) {
        std::fputs("\r\033[K", messages_);
        std::fflush(messages_);
        progress_shown_ = false;
    }
    if (!results.empty() && results_ != nullptr) {
        // A closed standard output (a pipe to `head`) fails here; the batch goes on.
        std::fputs(results.c_str(), results_);
        std::fflush(results_);
    }
    if (progress && !progress->empty()) {
        std::fprintf(messages_, "\r\033[K%s", progress->c_str());
        std::fflush(messages_);
        progress_shown_ = true;
    }
}

} // namespace morvane
