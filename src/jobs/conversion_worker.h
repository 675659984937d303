// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion worker: one background thread that converts the queued files one after
// the other, batch by batch, and tells its host how things go.
//
// The user-interface thread only queues files, asks for a start and asks for a stop; none of
// these waits for a conversion. One mutex and one condition variable guard the queue and the
// flags; no lock is held while the host is told anything. Destroying the worker stops a
// running conversion at its next progress report (a complete, shorter file) and joins the
// thread; the host hears nothing more after that. A host must outlive its worker.
#pragma once

#include "engine/engine.h"
#include "engine/progress_sink.h"
#include "jobs/conversion_host.h"
#include "jobs/conversion_job.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"
#include "settings/app_settings.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvane {

class ConversionWorker : public ProgressSink {
public:
    // The host hears of progress at most once per `report_interval`.
    explicit ConversionWorker(ConversionHost& host, std::chrono::microseconds report_interval =
                                                        std::chrono::milliseconds(500));

    using ProgressSink::set_report_interval;
    ~ConversionWorker() override;
    ConversionWorker(const ConversionWorker&) = delete;
    ConversionWorker& operator=(const ConversionWorker&) = delete;

    // The device and settings the next files are converted with.
    void set_device(const DeviceProfile& device);
    void set_settings(const AppSettings& settings);
    // Inputs whose output exists already are skipped (see ConversionJob).
    void set_skip_existing(bool skip_existing);
    // The player now connected (an empty opener: none). Each converted file goes onto it too
    // when the settings say so and the device takes sent files; a batch that sees the player
    // change finishes with the old one before it opens the new.
    void set_player(PlayerSenderOpener opener);

    // Queues paths in drop order; nothing is filtered here. A running batch takes them,
    // unless it was asked to stop: then they wait for the next batch. Folders are walked for
    // media on the worker's thread as the batch reaches them (see InputCollector), never
    // into the output folder; a file met twice in a batch is skipped as the same file.
    void add_files(const std::vector<std::string>& paths);
    // Starts a batch of the queued files, or lets a running one pick them up. Call it from
    // the owner's thread only.
    void start_conversion();
    // The stop button: the current file ends as a complete, shorter file and the files the
    // batch holds are reported as not started. Ignored when no batch runs or is due.
    void request_stop();
    // Whether a batch runs or is about to: what it sends must not lose its player then.
    bool busy() const;

    // Called by the engine on the worker thread.
    bool on_progress(int percent) override;
    bool stop_requested() const override;

private:
    // The player the running batch sends to; used by the worker thread only.
    struct BatchPlayer {
        std::unique_ptr<PlayerSender> sender;
        std::uint64_t generation = 0; // of the opener it came from
        std::string refusal;          // why it takes no file at all
        // Inputs whose outputs it took but lists only once its sending is finished.
        std::vector<std::string> pending_inputs;
    };

    void worker_main();
    // Sends the output `outcome` names (converted now or before) onto the player connected
    // now, counting the outcome in `summary`. Call without the lock.
    void send_to_player(BatchPlayer& player, const std::string& input, const JobOutcome& outcome,
                        const DeviceProfile& device, BatchSummary& summary);
    // The player to send to now: the one the batch has, or the one connected since (the old
    // one finished first). Call without the lock.
    void follow_player(BatchPlayer& player, BatchSummary& summary);
    // Ends the batch's use of its player: the files it took count as not sent when it
    // cannot keep them. Call without the lock.
    static void close_player(BatchPlayer& player, BatchSummary& summary);
    // Runs one batch; returns with `lock` held. False when the worker must end at once.
    bool run_batch(std::unique_lock<std::mutex>& lock);
    // The next input of the batch: the files the last walk found first, then the next path
    // queued (walked when it is a folder). False when there is none. Call with the lock
    // held; it is released while a folder is walked.
    bool next_input(std::unique_lock<std::mutex>& lock, InputCollector& collector,
                    CollectedInput& input);
    // The files of the running batch so far; call with the lock held.
    int batch_total() const;
    bool batch_due() const { return start_requested_ && !queue_.empty(); }

    ConversionHost& host_;

    // Used by the worker thread only.
    Engine engine_;

    // Guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    DeviceProfile device_;
    AppSettings settings_;
    bool skip_existing_ = false;
    PlayerSenderOpener player_opener_;
    std::uint64_t player_generation_ = 0; // counts set_player calls
    std::deque<std::string> queue_;       // not yet taken by a batch
    std::deque<CollectedInput> found_;    // found by the batch's walks, not yet converted
    bool start_requested_ = false;
    bool batch_running_ = false;
    bool stop_requested_ = false;
    std::size_t stopped_batch_rest_ = 0; // queued files that belong to the stopped batch
    bool quit_requested_ = false;
    int current_index_ = 0;      // of the file being converted, in its batch
    double current_seconds_ = 0; // its duration, once opened
    bool current_film_ = false;  // and whether it makes a film
    std::string current_path_;

    std::thread worker_thread_; // started by the first start_conversion
};

} // namespace morvane
