// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/parallel_batch.h"

#include "cli/printable_name.h"
#include "cli/progress_line.h"
#include "jobs/language_codes.h"
#include "jobs/settings_choices.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>

namespace morvane {

namespace {

using Clock = std::chrono::steady_clock;

// At most four redraws a second: a terminal over SSH should not be flooded.
constexpr auto redraw_interval = std::chrono::milliseconds(250);

int terminal_width(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

// The inputs as collected, in order; taken by the batch's converters one at a time.
class ParallelBatch::ListedInputs : public BatchRun::Inputs {
public:
    explicit ListedInputs(const std::vector<CollectedInput>& inputs) : inputs_(inputs) {}

    bool next(CollectedInput& input) override {
        const std::lock_guard lock(mutex_);
        if (next_ >= inputs_.size()) {
            return false;
        }
        input = inputs_[next_++];
        return true;
    }

    std::size_t waiting(std::vector<std::string>& first, std::size_t most) const override {
        const std::lock_guard lock(mutex_);
        for (std::size_t at = next_; at < inputs_.size() && first.size() < most; ++at) {
            first.push_back(inputs_[at].path);
        }
        return inputs_.size() - next_;
    }

    std::vector<std::string> take_rest() override {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> left;
        for (; next_ < inputs_.size(); ++next_) {
            left.push_back(inputs_[next_].path);
        }
        return left;
    }

private:
    const std::vector<CollectedInput>& inputs_;
    mutable std::mutex mutex_;
    std::size_t next_ = 0;
};

ParallelBatch::ParallelBatch(const DeviceProfile& device, const AppSettings& settings,
                             Options options, std::FILE* results, std::FILE* messages)
    : device_(device), settings_(settings), options_(options), results_(results),
      messages_(messages) {}

ParallelBatch::~ParallelBatch() = default;

std::vector<InputRecord> ParallelBatch::run(const std::vector<CollectedInput>& inputs) {
    BatchRun::Settings settings;
    settings.device = device_;
    settings.output_folder = settings_.output_folder;
    settings.choices = conversion_choices(settings_, desktop_languages(std::getenv));
    settings.skip_existing = options_.skip_existing;
    settings.keep_folders = options_.keep_folders;
    settings.converters =
        std::max(1, std::min<int>(options_.jobs, static_cast<int>(inputs.size())));
    settings.stop = &stop_requested_;
    ListedInputs listed(inputs);
    BatchRun::PlayerNow player_now;
    if (player_) {
        // The one player named: taken once, kept for the whole batch.
        player_now = [this] { return BatchRun::Player{1, [this] { return std::move(player_); }}; };
    }
    BatchRun batch(std::move(settings), listed, *this, player_now);
    {
        const std::lock_guard lock(mutex_);
        records_.assign(inputs.size(), InputRecord{});
        for (std::size_t index = 0; index < inputs.size(); ++index) {
            records_[index].input = inputs[index].path;
        }
    }
    summary_ = batch.run();
    std::string lines;
    {
        const std::lock_guard lock(mutex_);
        // Every input gets its line, whatever left it without one so far.
        for (InputRecord& record : records_) {
            lines += result_text(record);
        }
    }
    show(lines, std::string());
    return records_;
}

void ParallelBatch::request_stop() {
    // No lock: a signal's stop never waits. The batch reads the flag itself.
    stop_requested_.store(true, std::memory_order_relaxed);
}

void ParallelBatch::file_started(std::size_t, const std::string&) {}

void ParallelBatch::progress(const BatchProgress& progress) {
    std::optional<std::string> line;
    {
        const std::lock_guard lock(mutex_);
        // A file that starts or ends is shown at once.
        std::vector<std::size_t> going;
        for (const BatchProgress::Going& file : progress.going) {
            going.push_back(file.index);
        }
        line = progress_text(progress, going != drawn_going_);
        if (line) {
            drawn_going_ = going;
        }
    }
    // A redraw waits for no one: another converter may be stuck writing its result.
    show({}, line, false);
}

void ParallelBatch::file_finished(const BatchFile& file) {
    std::string line;
    {
        const std::lock_guard lock(mutex_);
        InputRecord& record = records_[std::min(file.index, records_.size() - 1)];
        record.finished = file.outcome.status != JobStatus::not_started;
        record.outcome = file.outcome;
        record.sent = file.sent;
        record.elapsed = file.elapsed;
        // A file the player lists only once the batch is over is reported then.
        if (!(file.sent && file.sent->pending)) {
            line = result_text(record);
        }
    }
    show(line, std::nullopt);
}

void ParallelBatch::sending_finished(const std::vector<BatchFile>& settled,
                                     const SendFinish& finish) {
    if (finish.failure && messages_ != nullptr) {
        std::fprintf(messages_, "morvane-convert: %s\n", printable_name(*finish.failure).c_str());
    }
    if (finish.warning && messages_ != nullptr) {
        std::fprintf(messages_, "morvane-convert: %s\n", printable_name(*finish.warning).c_str());
    }
    std::string lines;
    {
        const std::lock_guard lock(mutex_);
        for (const BatchFile& file : settled) {
            InputRecord& record = records_[std::min(file.index, records_.size() - 1)];
            record.sent = file.sent;
            lines += result_text(record);
        }
    }
    show(lines, std::nullopt);
}

std::string ParallelBatch::result_text(InputRecord& record) {
    if (record.printed || results_ == nullptr) {
        return {};
    }
    record.printed = true;
    return result_line(record) + "\n";
}

std::optional<std::string> ParallelBatch::progress_text(const BatchProgress& progress,
                                                        bool at_once) {
    if (!options_.show_progress || stop_requested()) {
        return std::nullopt;
    }
    const Clock::time_point now = Clock::now();
    if (!at_once && now - progress_drawn_ < redraw_interval) {
        return std::nullopt;
    }
    std::vector<ActiveFile> active;
    for (const BatchProgress::Going& file : progress.going) {
        const std::string name = std::filesystem::path(file.path).filename().string();
        active.push_back({printable_name(name), file.percent});
    }
    if (active.empty()) {
        return std::string();
    }
    const int started = static_cast<int>(progress.finished + progress.going.size());
    // One column spare: writing the last one makes some terminals wrap.
    progress_drawn_ = now;
    return progress_line(active, started, static_cast<int>(progress.total), progress.seconds_left,
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
