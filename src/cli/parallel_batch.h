// SPDX-License-Identifier: GPL-3.0-or-later
// Runs morvane-convert's batch: N converter threads, each with its own engine, take the next
// input from one queue until it is empty or a stop is asked; the calling thread only waits
// for them. Results are printed as inputs end, progress is drawn on a terminal. A stop ends
// the files being converted early but complete and leaves the rest of the queue not started.
//
// Nothing is written while the batch's state is locked, and a stop takes no lock: standard
// output that nobody reads holds up only the thread writing to it, never a stop or a signal.
#pragma once

#include "cli/batch_report.h"
#include "jobs/batch_time_left.h"
#include "jobs/conversion_job.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"
#include "settings/app_settings.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvane {

class ParallelBatch {
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
    ~ParallelBatch();
    ParallelBatch(const ParallelBatch&) = delete;
    ParallelBatch& operator=(const ParallelBatch&) = delete;

    // Converts the inputs; returns when all are done or, after a stop, when the files being
    // converted have ended (and the player's sending is finished). One record per input, in
    // the order given; a duplicate is skipped as the same file as the one it repeats.
    std::vector<InputRecord> run(const std::vector<CollectedInput>& inputs);

    // Before run(): each file with a complete output (converted now, or skipped as converted
    // before) goes to `player` too, on its converter's thread, as soon as it is done; the
    // player's sending is finished once the batch is over. Files it leaves pending get their
    // result lines only then.
    void send_to(PlayerSender* player) { player_ = player; }

    // From any thread, at any time (also before run): the stop button.
    void request_stop();
    bool stop_requested() const;

private:
    class Converter;
    friend class Converter;

    // The body of each converter thread.
    void convert_from_queue(Converter& converter);
    // Called by a converter on its thread; false once a stop was asked.
    bool on_progress(Converter& converter, int percent);

    // Under mutex_: records how an input ended; its result line, when it is to be written now.
    std::string finish_record(std::size_t index, const JobOutcome& outcome,
                              const std::optional<SendOutcome>& sent);
    // The player's sending is over: its pending files are sent, or not sent, only now.
    void finish_sending(); // under mutex_
    // Under mutex_: the record's result line, once (empty when written already or without
    // results_).
    std::string result_text(InputRecord& record);
    // Under mutex_: the progress line to draw now (nothing: leave the line as it is; empty:
    // clear it).
    std::optional<std::string> progress_text(bool at_once);
    // Without mutex_: writes result lines and the progress line. When `wait` is false and
    // another thread is writing, nothing is written.
    void show(const std::string& results, const std::optional<std::string>& progress,
              bool wait = true);

    const DeviceProfile device_;
    const AppSettings settings_;
    const Options options_;
    std::FILE* results_;
    std::FILE* messages_;
    PlayerSender* player_ = nullptr;

    std::atomic<bool> stop_requested_{false};
    mutable std::mutex mutex_;
    std::vector<InputRecord> records_;
    std::vector<CollectedInput> inputs_;
    std::size_t next_ = 0; // the queue: records_ from here on are not taken yet
    int finished_count_ = 0;
    BatchTimeLeft time_left_;
    std::chrono::steady_clock::time_point batch_started_;
    std::chrono::steady_clock::time_point progress_drawn_;
    std::vector<std::unique_ptr<Converter>> converters_;
    std::mutex output_mutex_;     // over writing to results_ and messages_
    bool progress_shown_ = false; // under output_mutex_
};

} // namespace morvane
