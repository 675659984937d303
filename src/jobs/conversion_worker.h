// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's conversion worker: one background thread that runs the queued files as
// batches (BatchRun), one after the other, and tells its host how things go.
//
// The user-interface thread only queues files, asks for a start and asks for a stop; none of
// these waits for a conversion. One mutex and one condition variable guard the queue and the
// flags; no lock is held while the host is told anything. A batch converts with the device
// and settings it started with, also for files that join it midway. Destroying the worker
// stops a running conversion at its next progress report (a complete, shorter file) and joins
// the thread; the host hears nothing more after that. A host must outlive its worker.
#pragma once

#include "jobs/batch_run.h"
#include "jobs/conversion_host.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"
#include "settings/app_settings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvane {

class ConversionWorker : private BatchRun::Listener {
public:
    // The host hears of progress at most once per `report_interval`.
    explicit ConversionWorker(ConversionHost& host, std::chrono::microseconds report_interval =
                                                        std::chrono::milliseconds(500));
    ~ConversionWorker() override;
    ConversionWorker(const ConversionWorker&) = delete;
    ConversionWorker& operator=(const ConversionWorker&) = delete;

    // From the next batch on.
    void set_report_interval(std::chrono::microseconds interval) {
        report_interval_.store(interval.count(), std::memory_order_relaxed);
    }
    // The device and settings the next batch converts with.
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

private:
    // The batch's inputs: what the running batch found in its walks, then the paths queued.
    class QueuedInputs;

    void worker_main();
    // Runs one batch; returns with `lock` held. False when the worker must end at once.
    bool run_batch(std::unique_lock<std::mutex>& lock);
    bool batch_due() const { return start_requested_ && !queue_.empty(); }

    // BatchRun::Listener, on the batch's thread: passed on to the host, unless the worker is
    // going away.
    void file_started(std::size_t index, const std::string& path) override;
    void progress(const BatchProgress& progress) override;
    void file_finished(const BatchFile& file) override;
    void sending_finished(const std::vector<BatchFile>& settled, const SendFinish& finish) override;
    bool quitting() const;

    ConversionHost& host_;
    std::atomic<std::chrono::microseconds::rep> report_interval_;

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
    BatchRun* batch_ = nullptr; // the running one
    ConversionStatus last_status_;

    std::thread worker_thread_; // started by the first start_conversion
};

} // namespace morvane
