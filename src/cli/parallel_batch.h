// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-convert's batch: the inputs collected beforehand, run by the jobs' BatchRun with N
// converters; here only what a terminal shows of it: a result line as each input ends (those
// an iPod lists only once its database is written, then), the updating progress line, and a
// record per input for the JSON document.
//
// Nothing is written while the batch's state is locked, and a stop takes no lock: standard
// output that nobody reads holds up only the thread writing to it, never a stop or a signal.
#pragma once

#include "cli/batch_report.h"
#include "jobs/batch_run.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"
#include "settings/app_settings.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class ParallelBatch : private BatchRun::Listener {
public:
    struct Options {
        int jobs = 1;
        bool skip_existing = false;
        bool keep_folders = false;
        bool show_progress = false; // the updating line on `messages` (a terminal)
    };

    // `results` gets a line as each input ends (none when null). No thread starts before
    // run().
    ParallelBatch(const DeviceProfile& device, const AppSettings& settings, Options options,
                  std::FILE* results, std::FILE* messages);
    ~ParallelBatch() override;
    ParallelBatch(const ParallelBatch&) = delete;
    ParallelBatch& operator=(const ParallelBatch&) = delete;

    // Converts the inputs; returns when all are done or, after a stop, when the files being
    // converted have ended (and the player's sending is finished). One record per input, in
    // the order given; a duplicate is skipped as the same file as the one it repeats.
    std::vector<InputRecord> run(const std::vector<CollectedInput>& inputs);
    // Once run() returned: how the batch ended.
    const BatchSummary& summary() const { return summary_; }

    // Before run(): each file with a complete output (converted now, or skipped as converted
    // before) goes onto `player` too, on its converter's thread, as soon as it is done; the
    // player's sending is finished once the batch is over. Files it leaves pending get their
    // result lines only then.
    void send_to(std::unique_ptr<PlayerSender> player) { player_ = std::move(player); }

    // From any thread, at any time (also before run): the stop button.
    void request_stop();
    bool stop_requested() const { return stop_requested_.load(std::memory_order_relaxed); }

private:
    class ListedInputs;

    // BatchRun::Listener, on the converters' threads.
    void file_started(std::size_t index, const std::string& path) override;
    void progress(const BatchProgress& progress) override;
    void file_finished(const BatchFile& file) override;
    void sending_finished(const std::vector<BatchFile>& settled, const SendFinish& finish) override;

    // Under mutex_: the record's result line, once (empty when written already or without
    // results_).
    std::string result_text(InputRecord& record);
    // The progress line to draw now (nothing: leave the line as it is; empty: clear it).
    std::optional<std::string> progress_text(const BatchProgress& progress, bool at_once);
    // Without mutex_: writes result lines and the progress line. When `wait` is false and
    // another thread is writing, nothing is written.
    void show(const std::string& results, const std::optional<std::string>& progress,
              bool wait = true);

    const DeviceProfile device_;
    const AppSettings settings_;
    const Options options_;
    std::FILE* results_;
    std::FILE* messages_;
    std::unique_ptr<PlayerSender> player_;

    std::atomic<bool> stop_requested_{false};
    std::mutex mutex_;
    std::vector<InputRecord> records_;
    BatchSummary summary_;
    // Under mutex_: when the progress line was drawn last, and with which files.
    std::chrono::steady_clock::time_point progress_drawn_;
    std::vector<std::size_t> drawn_going_;
    std::mutex output_mutex_;     // over writing to results_ and messages_
    bool progress_shown_ = false; // under output_mutex_
};

} // namespace morvane
