// SPDX-License-Identifier: GPL-3.0-or-later
// One batch, for the desktop and the command line alike: its converters (each with an engine
// and a job of its own) take the inputs in order until there are none or a stop is asked; a
// file met twice is skipped as the same file; each converted file goes onto the player when
// there is one; what is left after a stop is reported as not started; the time left weighs
// every file known by what it is expected to cost. Every file is reported with its index in
// the batch, and the batch ends with one summary.
//
// The front end gives the inputs (the desktop walks folders as the batch reaches them, the
// command line has them all beforehand) and hears what happens through a Listener, called
// from the batch's threads and never under its lock. run() returns once every converter is
// done and the player's sending is finished.
#pragma once

#include "engine/progress_sink.h"
#include "jobs/batch_summary.h"
#include "jobs/batch_time_left.h"
#include "jobs/conversion_job.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

namespace morvane {

// One file of a batch, once it ended.
struct BatchFile {
    std::size_t index = 0; // in the batch, in the order the files were taken
    std::string path;      // as named, or as found in a walked folder
    JobOutcome outcome;
    // Onto the player, for a file with a complete output while there is one: where its copy
    // landed (or lay already), or why not; `pending` until the player's sending is finished.
    std::optional<SendOutcome> sent;
    double elapsed = 0; // seconds spent on it
};

// Where the batch stands.
struct BatchProgress {
    struct Going {
        std::size_t index = 0;
        std::string path;
        int percent = 0;
        double seconds = 0; // its length, once it is known
        bool film = false;  // it makes a film (known with its length)
    };
    std::vector<Going> going; // the files being converted, by index
    std::size_t finished = 0; // files ended so far
    std::size_t total = 0;    // files of the batch so far: taken and waiting
    std::optional<double> seconds_left;
};

class BatchRun {
public:
    struct Settings {
        DeviceProfile device;
        std::string output_folder;
        ConversionChoices choices;
        bool skip_existing = false;
        bool keep_folders = false;
        int converters = 1;
        // Each converter hears of its file's progress at most this often.
        std::chrono::microseconds report_interval = std::chrono::milliseconds(500);
        // A stop asked from outside (a signal's), as request_stop() does; may be null.
        const std::atomic<bool>* stop = nullptr;
    };

    // Where the batch's inputs come from, in order.
    class Inputs {
    public:
        virtual ~Inputs() = default;
        // The next input; false when there is none. May take long (a folder walked); called
        // by one converter at a time, never under the batch's lock.
        virtual bool next(CollectedInput& input) = 0;
        // How many inputs are known and not taken yet (files found, names still to walk),
        // with the first `most` of them, in order, in `first`: for the count and the time
        // left. From any of the batch's threads.
        virtual std::size_t waiting(std::vector<std::string>& first, std::size_t most) const = 0;
        // After a stop: the inputs not taken, each to be reported as not started; nothing is
        // taken after.
        virtual std::vector<std::string> take_rest() = 0;
    };

    // The player to send to now, asked as each file is done: a new generation is a player
    // that came since (the last one's sending is finished first); an empty opener, none.
    struct Player {
        std::uint64_t generation = 0;
        PlayerSenderOpener opener;
    };
    using PlayerNow = std::function<Player()>;

    class Listener {
    public:
        virtual ~Listener() = default;
        // File `index` starts converting.
        virtual void file_started(std::size_t index, const std::string& path) = 0;
        // Where the batch stands: when a file starts or ends, and as the files go.
        virtual void progress(const BatchProgress& progress) = 0;
        // File `index` ended, whatever its outcome; after a stop, the files left come as not
        // started.
        virtual void file_finished(const BatchFile& file) = 0;
        // The player's sending is finished: the files it left pending, as they ended up, and
        // how the sending ended.
        virtual void sending_finished(const std::vector<BatchFile>& settled,
                                      const SendFinish& finish) = 0;
    };

    BatchRun(Settings settings, Inputs& inputs, Listener& listener, PlayerNow player_now = {});
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // Converts every input; the calling thread is one of the converters. Once only.
    BatchSummary run();

    // From any thread, at any time: the files being converted end early but complete, the
    // rest are not started.
    void request_stop();
    bool stop_requested() const {
        return stop_requested_.load(std::memory_order_relaxed) ||
               (settings_.stop != nullptr && settings_.stop->load(std::memory_order_relaxed));
    }

private:
    class Converter;
    friend class Converter;

    // The player the batch sends to.
    struct SendingPlayer {
        std::unique_ptr<PlayerSender> sender;
        std::uint64_t generation = 0;
        std::string refusal;            // why it takes no file at all
        std::vector<BatchFile> pending; // files it lists only once its sending is finished
    };

    void convert_from_inputs(Converter& converter);
    // The next input and its index; false when there is none or a stop was asked.
    bool take(CollectedInput& input, std::size_t& index);
    BatchFile convert(Converter& converter, const CollectedInput& input, std::size_t index);
    // Onto the player connected now (the last one's sending finished if it changed).
    std::optional<SendOutcome> send(const BatchFile& file);
    // Takes the player connected now when it changed; with player_lock_ held exclusively.
    void follow_player();
    // Ends the sending to the current player; with player_lock_ held exclusively.
    void finish_player();
    void finished(const BatchFile& file);
    bool on_progress(Converter& converter, int percent);
    // Under mutex_: where the batch stands, the time left brought up to date.
    BatchProgress progress_now();
    // The glance thread: what each waiting file is expected to cost.
    void glance_ahead();
    double seconds_since_start() const;

    const Settings settings_;
    Inputs& inputs_;
    Listener& listener_;
    PlayerNow player_now_;
    std::atomic<bool> stop_requested_{false};
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

    std::mutex take_mutex_; // one converter takes from the inputs at a time
    mutable std::mutex mutex_;
    std::condition_variable glance_wake_;
    std::vector<std::unique_ptr<Converter>> converters_;
    std::size_t taken_ = 0; // inputs taken so far: the next one's index
    std::size_t finished_ = 0;
    BatchSummary summary_;
    BatchTimeLeft time_left_;
    std::map<std::string, BatchTimeLeft::Work> glanced_; // by path
    bool ended_ = false;                                 // the glance thread ends

    // Sends hold it shared (a player takes files from several converters at once); a change
    // of player, and the end, exclusively.
    std::shared_mutex player_lock_;
    SendingPlayer player_;
};

} // namespace morvane
