// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread with real conversions: batches, files joining a batch, stop, quit, the
// outcome of every file and the summary of every batch.
#include "jobs/conversion_worker.h"
#include "jobs/device_table.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>

namespace morvane {
namespace {

using namespace std::chrono_literals;

// Records what the worker reports, and lets a test wait for it.
class RecordingHost : public ConversionHost {
public:
    void conversion_begin() override {
        note([this] { ++begins; });
    }
    void conversion_end(const BatchSummary& summary) override {
        if (on_end) {
            on_end();
        }
        note([&] { summaries.push_back(summary); });
    }
    void status_changed(const ConversionStatus& status) override {
        if (on_status) {
            on_status(status);
        }
        note([&] { last_status = status; });
    }
    void file_finished(const BatchFile& file) override {
        note([&] {
            finished.push_back({file.path, file.outcome});
            indices.push_back(file.index);
        });
    }

    // Waits for what the host records.
    template <typename Predicate>
    bool wait_for(Predicate predicate, std::chrono::seconds limit = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(mutex);
        while (!predicate()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            changed.wait_for(lock, 10ms);
        }
        return true;
    }

    std::mutex mutex;
    std::condition_variable changed;
    int begins = 0;
    std::vector<BatchSummary> summaries;
    ConversionStatus last_status;
    std::vector<std::pair<std::string, JobOutcome>> finished;
    std::vector<std::size_t> indices; // of the files finished, in the batch
    std::function<void()> on_end;     // runs on the worker thread, before the summary counts
    std::function<void(const ConversionStatus&)> on_status; // on the worker thread too

    std::size_t ends() { return summaries.size(); }

private:
    template <typename Change>
    void note(Change change) {
        {
            std::lock_guard lock(mutex);
            change();
        }
        changed.notify_all();
    }
};

class ConversionWorkerTest : public testing::Test {
protected:
    ConversionWorkerTest() {
        std::filesystem::create_directory(output_folder());
        devices = device_table("/nowhere/");
        settings.output_folder = output_folder();
    }

    std::string output_folder() const { return folder.path().string() + "/out/"; }

    std::unique_ptr<ConversionWorker> make_worker(int device_row = 3) {
        // Reports as often as there is news: no clip has to outlast a half-second throttle.
        auto worker = std::make_unique<ConversionWorker>(host, 1ms);
        worker->set_device(devices[static_cast<std::size_t>(device_row)]);
        worker->set_settings(settings);
        return worker;
    }

    std::string short_tone(const std::string& name) {
        const auto path = folder.file(name);
        test::write_media(path, test::wav_pcm(44100, 2, 0.3));
        return path.string();
    }

    std::string long_clip(const std::string& name, double seconds = 8.0) {
        const auto path = folder.file(name);
        test::write_media(path, test::mp4_h264_aac(640, 480, {25, 1}, seconds));
        return path.string();
    }

    int output_count() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(output_folder()),
                                              std::filesystem::directory_iterator()));
    }

    test::TempFolder folder;
    DeviceTable devices;
    AppSettings settings;
    RecordingHost host;
};

// A file named twice is skipped in its own place: every report carries its file's index.
TEST_F(ConversionWorkerTest, FirstStartConvertsTheWholeBatchAndSumsItUp) {
    auto worker = make_worker();
    const std::string a = short_tone("a.wav");
    worker->add_files({a, a, short_tone("b.wav"), short_tone("c.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 1; }));

    EXPECT_EQ(host.begins, 3);
    ASSERT_EQ(host.finished.size(), 4u);
    EXPECT_EQ(host.indices, (std::vector<std::size_t>{0, 1, 2, 3}));
    for (std::size_t index = 0; index < host.finished.size(); ++index) {
        const auto& [path, outcome] = host.finished[index];
        if (index == 1) {
            EXPECT_EQ(outcome.status, JobStatus::skipped);
            EXPECT_EQ(outcome.reason, "same file as " + a);
            continue;
        }
        EXPECT_TRUE(outcome.converted()) << path << ": " << outcome.reason;
        EXPECT_GT(outcome.seconds_total, 0.25);
    }
    EXPECT_EQ(output_count(), 3);
    const BatchSummary& summary = host.summaries[0];
    EXPECT_EQ(summary.converted, 3);
    EXPECT_EQ(summary.skipped, 1);
    EXPECT_TRUE(summary.all_converted());
    EXPECT_FALSE(summary.stop_requested);
    EXPECT_TRUE(summary.failed_files.empty());
    EXPECT_FALSE(host.last_status.converting);

    // A later start while idle wakes the same thread for a batch of only the new files.
    worker->add_files({short_tone("d.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 2; }));
    EXPECT_EQ(host.finished.size(), 5u);
    EXPECT_EQ(host.indices.back(), 0u);
    EXPECT_EQ(host.summaries[1].converted, 1);
}

TEST_F(ConversionWorkerTest, FilesAddedDuringABatchJoinIt) {
    auto worker = make_worker();
    // The first file waits at its first report until the others have been added.
    std::mutex added_mutex;
    std::condition_variable added_changed;
    bool reported = false;
    bool added = false;
    host.on_status = [&](const ConversionStatus& status) {
        if (status.percent > 0) {
            std::unique_lock lock(added_mutex);
            reported = true;
            added_changed.notify_all();
            added_changed.wait_for(lock, 60s, [&] { return added; });
        }
    };
    const std::string c = short_tone("c.wav");
    const std::string d = short_tone("d.wav");
    worker->add_files({long_clip("long.mp4"), short_tone("b.wav")});
    worker->start_conversion();
    {
        std::unique_lock lock(added_mutex);
        ASSERT_TRUE(added_changed.wait_for(lock, 60s, [&] { return reported; }));
    }
    // A settings dialog left open changes the device meanwhile: the batch keeps its own.
    worker->set_device(devices[4]);
    worker->add_files({c, d});
    worker->start_conversion();
    {
        std::lock_guard lock(added_mutex);
        added = true;
    }
    added_changed.notify_all();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 1; }));
    ASSERT_EQ(host.finished.size(), 4u);
    EXPECT_EQ(std::filesystem::path(host.finished[3].first).filename(), "d.wav");
    EXPECT_EQ(host.begins, 4);
    EXPECT_EQ(host.summaries[0].converted, 4);
    // The Shuffle's song keeps the source's 44.1 kHz; the PSP's would be 24 kHz.
    EXPECT_EQ(test::inspect_media(host.finished[3].second.output_path)
                  .stream(AVMEDIA_TYPE_AUDIO)
                  .sample_rate,
              44100);
}

TEST_F(ConversionWorkerTest, FilesDroppedWhileABatchEndsAreNotLost) {
    auto worker = make_worker();
    const std::string late = short_tone("late.wav");
    bool dropped = false;
    host.on_end = [&] {
        // The batch has given up the list; a drop arriving now starts the next one.
        if (!dropped) {
            dropped = true;
            worker->add_files({late});
            worker->start_conversion();
        }
    };
    worker->add_files({short_tone("first.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 2; }));
    ASSERT_EQ(host.finished.size(), 2u);
    EXPECT_EQ(host.finished[1].first, late);
    EXPECT_TRUE(host.finished[1].second.converted());
}

TEST_F(ConversionWorkerTest, StopKeepsACompleteShorterFileAndReportsEveryFile) {
    auto worker = make_worker(1);
    const std::string never = short_tone("never.wav");
    // Stopped at its first report, as a stop sent from another thread might come too late.
    const std::string long_path = long_clip("long.mp4");
    std::atomic<bool> told_film = false; // for the time left to weigh it
    host.on_status = [&](const ConversionStatus& status) {
        if (status.percent > 0 && status.path == long_path) {
            told_film = told_film || (status.film && status.seconds > 7.5);
            worker->request_stop();
        }
    };
    worker->add_files({long_path, never});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.last_status.percent > 0; }));
    // Dropped after the stop: not part of the stopped batch, it starts the next one.
    const std::string after = short_tone("after.wav");
    worker->add_files({after});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 2; }));

    ASSERT_EQ(host.finished.size(), 3u);
    EXPECT_TRUE(told_film);
    const JobOutcome& stopped = host.finished[0].second;
    ASSERT_EQ(stopped.status, JobStatus::stopped) << stopped.reason;
    const auto info = test::inspect_media(stopped.output_path);
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 7.0);
    EXPECT_GT(stopped.seconds_done, 0.0);
    EXPECT_LT(stopped.seconds_done, 7.0);
    EXPECT_NEAR(stopped.seconds_total, 8.0, 0.5);
    EXPECT_TRUE(stopped_text(stopped).starts_with("stopped at ")) << stopped_text(stopped);
    EXPECT_TRUE(stopped_text(stopped).ends_with(" of 0:08")) << stopped_text(stopped);

    EXPECT_EQ(host.finished[1].first, never);
    EXPECT_EQ(host.finished[1].second.status, JobStatus::not_started);
    const BatchSummary& summary = host.summaries[0];
    EXPECT_TRUE(summary.stop_requested);
    EXPECT_EQ(summary.stopped, 1);
    EXPECT_EQ(summary.not_started, 1);
    EXPECT_FALSE(summary.all_converted());

    EXPECT_EQ(host.finished[2].first, after);
    EXPECT_TRUE(host.finished[2].second.converted()) << host.finished[2].second.reason;
    EXPECT_TRUE(host.summaries[1].all_converted());
    EXPECT_EQ(output_count(), 2);
}

TEST_F(ConversionWorkerTest, FailedFilesComeWithTheirReasonsInTheSummary) {
    auto worker = make_worker();
    const std::string notes = folder.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    const std::string missing = folder.file("missing.wav").string();
    // A song cut off at a third: what it holds is kept, but it is not the song converted.
    test::write_media(folder.file("whole.mp3"), test::mp3_audio(44100, 2, 10.0));
    const std::string cut = folder.file("cut.mp3").string();
    test::write_truncated_copy(folder.file("whole.mp3"), cut, 0.3);
    worker->add_files({short_tone("a.wav"), notes, missing, cut});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 1; }));
    const BatchSummary& summary = host.summaries[0];
    EXPECT_EQ(summary.converted, 1);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summary.incomplete, 1);
    EXPECT_FALSE(summary.all_converted());
    ASSERT_EQ(summary.failed_files.size(), 3u);
    EXPECT_EQ(summary.failed_files[0],
              (FailedFile{notes, "nothing in it can be read as audio or video"}));
    EXPECT_EQ(summary.failed_files[1], (FailedFile{missing, "no such file"}));
    EXPECT_EQ(summary.failed_files[2].path, cut);
    EXPECT_EQ(summary.failed_files[2].reason.substr(0, 33), "incomplete: the input ends at 0:0");
    EXPECT_EQ(summary.failed_files[2].reason.substr(34), " of 0:10");
    EXPECT_TRUE(std::filesystem::exists(host.finished[3].second.output_path));

    // The next batch starts with an empty list, and makes its output folder again when it was
    // deleted meanwhile.
    std::filesystem::remove_all(output_folder());
    worker->add_files({short_tone("b.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 2; }));
    EXPECT_TRUE(host.summaries[1].failed_files.empty());
    EXPECT_EQ(host.summaries[1].converted, 1);
}

TEST_F(ConversionWorkerTest, AFullDiskFailsTheFileLeavesNothingAndTheNextOneConverts) {
    const test::SmallDisk small_disk(folder.path() / "disk", "256k");
    if (!small_disk.unavailable().empty()) {
        GTEST_SKIP() << small_disk.unavailable();
    }
    const std::string disk = small_disk.path().string();

    settings.output_folder = disk + "/";
    auto worker = make_worker(1);
    // Noise: no second of it fits in the little disk.
    test::MediaDescription noise = test::mp4_h264_aac(320, 240, {25, 1}, 4.0);
    noise.video->codec = AV_CODEC_ID_MJPEG;
    noise.video->pattern = test::MediaDescription::Video::Pattern::noise;
    const std::string big = folder.file("big.mp4").string();
    test::write_media(big, noise);
    const std::string small = short_tone("small.wav");
    worker->add_files({big, small});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends() == 1; }));

    ASSERT_EQ(host.finished.size(), 2u);
    EXPECT_EQ(host.finished[0].second.status, JobStatus::failed);
    EXPECT_EQ(host.finished[0].second.reason, "No space left on device");
    EXPECT_TRUE(host.finished[1].second.converted()) << host.finished[1].second.reason;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(disk)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"small.mp3"});
    EXPECT_EQ(host.summaries[0].failed_files,
              (std::vector<FailedFile>{{big, "No space left on device"}}));
}

TEST_F(ConversionWorkerTest, ClosingDuringAConversionStopsItAndReportsNothingMore) {
    auto worker = make_worker(1);
    worker->add_files({long_clip("long.mp4"), short_tone("b.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.begins == 1; }));
    const auto closing = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 10s);
    EXPECT_EQ(host.ends(), 0u);
    EXPECT_EQ(host.begins, 1);
    EXPECT_TRUE(host.finished.empty());
    // What stays under a visible name is complete.
    for (const auto& entry : std::filesystem::directory_iterator(output_folder())) {
        EXPECT_TRUE(test::inspect_media(entry.path().string()).read_error.empty()) << entry.path();
    }
}

// A player that takes what it is sent in a list (listed, as an iPod lists them, only once the
// batch ends), refuses what it is told to, holds what it is told to already, may refuse
// every file from the start and may fail its end of the batch (as an iPod whose database
// cannot be written does).
struct ListPlayer {
    std::mutex mutex;
    std::vector<std::string> names; // sent, in order
    std::string refused_name;       // this one is not sent
    std::string held_name;          // this one it holds already
    std::string refusal;            // no file at all
    std::optional<std::string> finish_problem;
    int opened = 0, finished = 0;

    PlayerSenderOpener opener() {
        class Sender : public PlayerSender {
        public:
            explicit Sender(ListPlayer& player) : player_(player) {}
            std::string refusal() const override { return player_.refusal; }
            SendOutcome send(const FileToSend& file) override {
                std::lock_guard lock(player_.mutex);
                SendOutcome outcome;
                if (file.name == player_.refused_name || !std::filesystem::exists(file.path) ||
                    file.media != SentMedia::sound || file.source.empty() || file.target.empty()) {
                    outcome.reason = "the stick is full";
                    return outcome;
                }
                outcome.landed_path = "/player/" + file.name;
                outcome.already_there = file.name == player_.held_name;
                outcome.pending = !outcome.already_there;
                if (outcome.pending) {
                    player_.names.push_back(file.name);
                }
                return outcome;
            }
            SendFinish finish() override {
                std::lock_guard lock(player_.mutex);
                ++player_.finished;
                return {player_.finish_problem, {}};
            }

        private:
            ListPlayer& player_;
        };
        return [this]() -> std::unique_ptr<PlayerSender> {
            std::lock_guard lock(mutex);
            ++opened;
            return std::make_unique<Sender>(*this);
        };
    }
};

TEST_F(ConversionWorkerTest, ConvertedFilesGoOntoThePlayerAndWhatDidNotLandIsListedWithWhy) {
    const struct {
        const char* what;
        int send_to_player;
        bool connects_midway; // while the first file converts
        std::string refused_name, held_name, refusal;
        std::optional<std::string> finish_problem;
        int sent, already, not_sent;
        std::vector<std::string> reasons;
    } cases[] = {
        {"all land", 1, false, "", "", "", std::nullopt, 2, 0, 0, {}},
        {"connected while the first converts", 1, true, "", "", "", std::nullopt, 2, 0, 0, {}},
        {"one refused, one there already",
         1,
         false,
         "b.mp3",
         "a.mp3",
         "",
         std::nullopt,
         0,
         1,
         1,
         {"the stick is full"}},
        {"the batch's end fails",
         1,
         false,
         "b.mp3",
         "",
         "",
         "the database was not written",
         0,
         0,
         2,
         {"the stick is full", "the database was not written"}},
        {"the player takes nothing", 1, false, "", "", "read-only", std::nullopt, 0, 0, 0, {}},
        {"the setting is off", 0, false, "", "", "", std::nullopt, 0, 0, 0, {}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        ListPlayer player;
        player.refused_name = each.refused_name;
        player.held_name = each.held_name;
        player.refusal = each.refusal;
        player.finish_problem = each.finish_problem;
        settings.send_to_player = each.send_to_player;
        const std::size_t ends_before = host.ends();
        auto worker = make_worker(3); // the shuffle: sound only
        if (each.connects_midway) {
            host.on_status = [&, connected = false](const ConversionStatus& status) mutable {
                if (status.converting && !connected) {
                    connected = true;
                    worker->set_player(player.opener());
                }
            };
        } else {
            worker->set_player(player.opener());
        }
        worker->add_files({short_tone("a.wav"), short_tone("b.wav")});
        worker->start_conversion();
        ASSERT_TRUE(host.wait_for([&] { return host.summaries.size() > ends_before; }));
        worker.reset();
        host.on_status = nullptr;
        const BatchSummary summary = host.summaries.back();
        EXPECT_EQ(summary.converted, 2);
        EXPECT_EQ(summary.sent, each.sent);
        EXPECT_EQ(summary.already_on_player, each.already);
        EXPECT_EQ(summary.not_sent, each.not_sent);
        EXPECT_EQ(summary.player_refusal, each.refusal);
        std::vector<std::string> reasons;
        for (const FailedFile& not_sent : summary.not_sent_files) {
            reasons.push_back(not_sent.reason);
        }
        EXPECT_EQ(reasons, each.reasons);
        EXPECT_TRUE(summary.failed_files.empty()) << "converted files are not failed ones";
        EXPECT_TRUE(summary.all_converted()) << "a send is not a conversion";
        // One sender a batch, ended once; none at all when the setting is off.
        EXPECT_EQ(player.opened, each.send_to_player);
        EXPECT_EQ(player.finished, each.send_to_player);
        std::filesystem::remove_all(output_folder());
        std::filesystem::create_directory(output_folder());
    }
}

} // namespace
} // namespace morvane
