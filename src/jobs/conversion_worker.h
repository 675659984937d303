// The conversion worker: one background thread that converts the queued files one after
// the other, batch by batch, and tells its host how things go.
//
// The user-interface thread only queues files, asks for a start, asks for a stop and reads
// the status; none of these waits for a conversion. Destroying the worker stops a running
// conversion at its next progress report and waits for the thread.
#pragma once

#include "engine/conver_callback.h"
#include "engine/engine.h"
#include "jobs/auto_reset_event.h"
#include "jobs/conversion_host.h"
#include "jobs/conversion_job.h"
#include "jobs/device_profile.h"
#include "jobs/post_batch_actions.h"
#include "jobs/supported_codecs.h"
#include "settings/app_settings.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvane {

class ConversionWorker : public CConverCallback {
public:
    // Without post-batch actions (the command line) a batch ends with nothing more.
    ConversionWorker(ConversionHost& host, PostBatchActions* post_batch_actions);
    ~ConversionWorker() override;
    ConversionWorker(const ConversionWorker&) = delete;
    ConversionWorker& operator=(const ConversionWorker&) = delete;

    // The device and settings the next files are converted with.
    void set_device(const DeviceProfile& device);
    void set_settings(const AppSettings& settings);

    // Queues paths in drop order; nothing is filtered here.
    void add_files(const std::vector<std::string>& paths);
    // Starts a batch, or lets a running one pick up the new files.
    void start_conversion();
    // The stop button: the current file ends as a complete, shorter file and the rest of
    // the batch is dropped.
    void request_stop();

    bool converting() const { return converting_.load(); }
    int current_index() const { return current_index_.load(); }
    int total_count() const;
    std::string current_path() const; // the file being converted
    std::string status_text() const;

    // Called by the engine on the worker thread.
    bool on_progress(int percent) override;

private:
    void worker_main();
    // Runs one batch; false when the worker must end at once.
    bool run_batch();
    bool quit_requested() const;
    bool stop_requested() const;
    void set_status_text(std::string text);

    ConversionHost& host_;
    PostBatchActions* post_batch_actions_;
    SupportedCodecs supported_codecs_;

    // Used by the worker thread only, once started.
    Engine engine_;
    TranscodeProgress progress_;
    std::vector<FailedFile> failed_files_;

    mutable std::mutex settings_lock_;
    DeviceProfile device_;
    AppSettings settings_;

    mutable std::mutex list_lock_;
    std::vector<std::string> file_list_;
    int total_count_ = 0;
    std::string current_path_;
    std::atomic<bool> converting_{false}; // written under list_lock_
    std::atomic<int> current_index_{0};

    mutable std::mutex stop_lock_;
    bool stop_requested_ = false;

    mutable std::mutex quit_lock_;
    bool quit_requested_ = false;

    mutable std::mutex status_lock_;
    std::string status_text_;

    AutoResetEvent wake_event_{true};
    std::thread worker_thread_; // last: started after everything it uses exists
};

} // namespace morvane
