// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/batch_run.h"

#include "engine/engine.h"
#include "engine/media_input.h"
#include "jobs/output_folder.h"
#include "jobs/sent_media.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace morvane {

namespace {

// Files glanced at ahead of the converters: enough for the time left of any batch worth
// estimating, few enough that a huge library does not keep a core busy opening files.
constexpr std::size_t glanced_ahead = 64;

double seconds_between(std::chrono::steady_clock::time_point from,
                       std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

// One converter: an engine and a job of its own, and the sink its conversions report to.
class BatchRun::Converter : public ProgressSink {
public:
    Converter(BatchRun& batch, std::chrono::microseconds report_interval)
        : ProgressSink(report_interval), job(engine), batch_(batch) {}

    bool on_progress(int percent) override { return batch_.on_progress(*this, percent); }
    bool stop_requested() const override { return batch_.stop_requested(); }

    // Used by this converter's thread only.
    Engine engine;
    ConversionJob job;

    // Under the batch's mutex.
    bool busy = false;
    BatchProgress::Going going;

private:
    BatchRun& batch_;
};

BatchRun::BatchRun(Settings settings, Inputs& inputs, Listener& listener, PlayerNow player_now)
    : settings_(std::move(settings)), inputs_(inputs), listener_(listener),
      player_now_(std::move(player_now)) {}

BatchRun::~BatchRun() = default;

void BatchRun::request_stop() {
    stop_requested_.store(true, std::memory_order_relaxed);
}

double BatchRun::seconds_since_start() const {
    return seconds_between(started_, std::chrono::steady_clock::now());
}

BatchSummary BatchRun::run() {
    // A folder deleted or made read-only since the last batch is made again, or refused
    // once for every file.
    summary_.output_folder_problem = prepare_output_folder(settings_.output_folder).value_or("");
    {
        // The player that is there now is asked at once whether it takes files at all.
        const std::unique_lock lock(player_lock_);
        follow_player();
    }
    const int wanted = std::max(1, settings_.converters);
    for (int index = 0; index < wanted; ++index) {
        auto converter = std::make_unique<Converter>(*this, settings_.report_interval);
        converter->job.set_skip_existing(settings_.skip_existing);
        converter->job.set_keep_folders(settings_.keep_folders);
        converter->job.set_choices(settings_.choices);
        converters_.push_back(std::move(converter));
    }
    std::thread glancer([this] { glance_ahead(); });
    std::vector<std::thread> threads;
    for (std::size_t index = 1; index < converters_.size(); ++index) {
        try {
            threads.emplace_back([this, index] { convert_from_inputs(*converters_[index]); });
        } catch (const std::system_error&) {
            break; // fewer converters than asked: those that started take all the inputs
        }
    }
    convert_from_inputs(*converters_.front());
    for (std::thread& thread : threads) {
        thread.join();
    }
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    glance_wake_.notify_all();
    glancer.join();

    if (stop_requested()) {
        summary_.stop_requested = true;
        for (const std::string& path : inputs_.take_rest()) {
            BatchFile file;
            {
                const std::lock_guard lock(mutex_);
                file.index = taken_++;
            }
            file.path = path;
            file.outcome.status = JobStatus::not_started;
            finished(file);
        }
    }
    {
        // Once per batch, also after a stop: an iPod lists the files sent only now.
        const std::unique_lock lock(player_lock_);
        finish_player();
    }
    const std::lock_guard lock(mutex_);
    summary_.no_media_found = taken_ == 0 && !summary_.stop_requested;
    return summary_;
}

bool BatchRun::take(CollectedInput& input, std::size_t& index) {
    const std::lock_guard take_lock(take_mutex_);
    if (stop_requested() || !inputs_.next(input)) {
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        index = taken_++;
    }
    glance_wake_.notify_all(); // a walk may have found more to glance at
    return true;
}

void BatchRun::convert_from_inputs(Converter& converter) {
    CollectedInput input;
    std::size_t index = 0;
    while (take(input, index)) {
        if (!summary_.output_folder_problem.empty() || input.duplicate()) {
            BatchFile file{index, input.path, {}, std::nullopt, 0};
            file.outcome.status = input.duplicate() ? JobStatus::skipped : JobStatus::failed;
            file.outcome.reason = input.duplicate() ? "same file as " + input.same_as
                                                    : summary_.output_folder_problem;
            finished(file);
            continue;
        }
        BatchFile file = convert(converter, input, index);
        // On this converter's thread, once the file is whole in the output folder: a copy
        // onto a slow player holds up no other converter.
        if (file.outcome.has_complete_output()) {
            file.sent = send(file);
        }
        {
            const std::lock_guard lock(mutex_);
            converter.busy = false;
        }
        finished(file);
    }
}

BatchFile BatchRun::convert(Converter& converter, const CollectedInput& input, std::size_t index) {
    BatchProgress progress;
    {
        const std::lock_guard lock(mutex_);
        converter.busy = true;
        converter.going = BatchProgress::Going{index, input.path, 0, 0, false};
        const auto known = glanced_.find(input.path);
        if (known != glanced_.end()) {
            time_left_.file_expected(static_cast<int>(index), known->second);
        }
        time_left_.file_progress(static_cast<int>(index), 0.0, seconds_since_start());
        progress = progress_now();
    }
    {
        // A player that plays no video: films are refused before they are converted.
        const std::unique_lock player_lock(player_lock_);
        follow_player();
        converter.job.set_films_refusal(player_.sender && player_.refusal.empty()
                                            ? player_.sender->films_refusal()
                                            : std::string());
    }
    listener_.file_started(index, input.path);
    listener_.progress(progress);
    const auto started = std::chrono::steady_clock::now();
    BatchFile file{index, input.path, {}, std::nullopt, 0};
    file.outcome = converter.job.convert_one(
        input, settings_.device, settings_.output_folder, &converter,
        [this, &converter, &input](double seconds, bool film) {
            const std::lock_guard lock(mutex_);
            converter.going.seconds = seconds;
            converter.going.film = film;
            // What the opened file says is better than a glance.
            BatchTimeLeft::Work work{seconds, film, 0};
            const auto known = glanced_.find(input.path);
            if (known != glanced_.end()) {
                work.pixels_per_second = known->second.pixels_per_second;
            }
            time_left_.file_expected(static_cast<int>(converter.going.index), work);
        });
    file.elapsed = seconds_between(started, std::chrono::steady_clock::now());
    return file;
}

bool BatchRun::on_progress(Converter& converter, int percent) {
    BatchProgress progress;
    {
        const std::lock_guard lock(mutex_);
        converter.going.percent = std::clamp(percent, 0, 100);
        time_left_.file_progress(static_cast<int>(converter.going.index),
                                 converter.going.percent / 100.0, seconds_since_start());
        progress = progress_now();
    }
    listener_.progress(progress);
    // Read after the front end was told: a stop asked meanwhile is honoured now.
    return !stop_requested();
}

void BatchRun::finished(const BatchFile& file) {
    BatchProgress progress;
    {
        const std::lock_guard lock(mutex_);
        const JobStatus status = file.outcome.status;
        summary_.count(status);
        if (status == JobStatus::failed || status == JobStatus::incomplete) {
            summary_.failed_files.push_back({file.path, file.outcome.reason});
        }
        const int index = static_cast<int>(file.index);
        if (status == JobStatus::converted || status == JobStatus::copied ||
            status == JobStatus::stopped || status == JobStatus::incomplete) {
            time_left_.file_done(index, seconds_since_start());
        } else {
            time_left_.file_passed(index);
        }
        if (file.sent && file.sent->pending) {
            player_.pending.push_back(file);
        } else if (file.sent && !file.sent->sent()) {
            ++summary_.not_sent;
            summary_.not_sent_files.push_back({file.path, file.sent->reason});
        } else if (file.sent) {
            ++(file.sent->already_there ? summary_.already_on_player : summary_.sent);
        }
        ++finished_;
        progress = progress_now();
    }
    glance_wake_.notify_all();
    listener_.file_finished(file);
    listener_.progress(progress);
}

std::optional<SendOutcome> BatchRun::send(const BatchFile& file) {
    {
        const std::unique_lock lock(player_lock_);
        follow_player(); // a player connected while the file converted takes it too
    }
    const std::shared_lock lock(player_lock_);
    // A player that takes nothing says so once, for the batch, not for every file.
    if (!player_.sender || !player_.refusal.empty()) {
        return std::nullopt;
    }
    return player_.sender->send(file_to_send(file.outcome));
}

void BatchRun::follow_player() {
    Player now;
    if (player_now_ && settings_.device.accepts_sent_files) {
        now = player_now_();
    }
    if (player_.generation == now.generation && (player_.sender || !now.opener)) {
        return;
    }
    finish_player(); // the player changed (or went) since its last file
    player_.generation = now.generation;
    if (now.opener) {
        player_.sender = now.opener();
    }
    if (player_.sender) {
        player_.refusal = player_.sender->refusal();
        const std::lock_guard lock(mutex_);
        summary_.player_refusal = player_.refusal;
    }
}

void BatchRun::finish_player() {
    if (!player_.sender) {
        return;
    }
    const SendFinish finish = player_.sender->finish();
    std::vector<BatchFile> settled;
    {
        const std::lock_guard lock(mutex_);
        settled.swap(player_.pending);
        for (BatchFile& file : settled) {
            file.sent->pending = false;
            if (finish.failure) {
                file.sent->landed_path.clear();
                file.sent->reason = *finish.failure;
                ++summary_.not_sent;
                summary_.not_sent_files.push_back({file.path, *finish.failure});
            } else {
                ++summary_.sent;
            }
        }
    }
    player_.sender.reset();
    player_.refusal.clear();
    listener_.sending_finished(settled, finish);
}

BatchProgress BatchRun::progress_now() {
    BatchProgress progress;
    for (const auto& converter : converters_) {
        if (converter->busy) {
            progress.going.push_back(converter->going);
        }
    }
    std::sort(progress.going.begin(), progress.going.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    std::vector<std::string> next;
    const std::size_t waiting = inputs_.waiting(next, glanced_ahead);
    // The files waiting take the next indices, in order; each weighs what a glance says, and
    // those further on as much as a usual file.
    for (std::size_t at = 0; at < next.size(); ++at) {
        const auto known = glanced_.find(next[at]);
        time_left_.file_expected(static_cast<int>(taken_ + at),
                                 known != glanced_.end() ? known->second : BatchTimeLeft::Work{});
    }
    progress.finished = finished_;
    progress.total = taken_ + waiting;
    const int busy = static_cast<int>(progress.going.size());
    progress.seconds_left =
        time_left_.seconds_left(static_cast<int>(progress.total), std::max(busy, 1));
    return progress;
}

void BatchRun::glance_ahead() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // The first waiting file not glanced at yet, within reach.
        std::string path;
        glance_wake_.wait(lock, [&] {
            if (ended_) {
                return true;
            }
            std::vector<std::string> next;
            inputs_.waiting(next, glanced_ahead);
            const auto unknown = std::find_if(next.begin(), next.end(), [this](const auto& at) {
                return glanced_.find(at) == glanced_.end();
            });
            if (unknown == next.end()) {
                return false;
            }
            path = *unknown;
            return true;
        });
        if (ended_) {
            return;
        }
        lock.unlock();
        BatchTimeLeft::Work work;
        MediaInput input;
        if (!input.open(path, MediaInput::Probe::glance)) {
            work.seconds = input.duration_seconds();
            const std::optional<MediaInput::Picture> picture = input.picture();
            work.film =
                picture && settings_.device.film_format(settings_.choices.video_codec) != nullptr;
            if (work.film) {
                const double rate =
                    picture->frame_rate.den > 0 && picture->frame_rate.num > 0
                        ? static_cast<double>(picture->frame_rate.num) / picture->frame_rate.den
                        : 25.0;
                work.pixels_per_second =
                    static_cast<double>(picture->width) * picture->height * rate;
            }
        }
        lock.lock();
        glanced_[path] = work; // a file that does not open weighs as a usual one
    }
}

} // namespace morvane
