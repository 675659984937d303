// The worker thread with real conversions: batches, files joining a batch, stop, quit, and
// what happens when a batch ends.
#include "jobs/conversion_worker.h"
#include "jobs/device_table.h"
#include "jobs/string_table.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/recording_shell.h"
#include "support/temp_folder.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace morvane {
namespace {

using namespace std::chrono_literals;
using Kind = test::RecordingShell::Call::Kind;

// Records what the worker reports, and lets a test wait for it.
class RecordingHost : public ConversionHost {
public:
    void conversion_begin() override {
        note([this] { ++begins; });
    }
    void conversion_end() override {
        if (on_end) {
            on_end();
        }
        note([this] { ++ends; });
    }
    void status_changed() override {}
    void show_failed_files(std::vector<FailedFile> files) override {
        note([&] { failed_batches.push_back(std::move(files)); });
    }
    void file_finished(const std::string& path, const JobOutcome& outcome) override {
        note([&] { finished.push_back({path, outcome}); });
    }

    // Waits for what the host records, and also polls, for what the shell records.
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
    int ends = 0;
    std::vector<std::vector<FailedFile>> failed_batches;
    std::vector<std::pair<std::string, JobOutcome>> finished;
    std::function<void()> on_end; // runs on the worker thread, before `ends` counts

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
        build_device_table(devices, "/nowhere/");
        settings.output_folder = output_folder();
        settings.open_output_after_batch = 1;
        settings.shutdown_after_batch = 0;
    }

    std::string output_folder() const { return folder.path().string() + "/out/"; }

    std::unique_ptr<ConversionWorker> make_worker(int device_row = 3) {
        auto worker = std::make_unique<ConversionWorker>(host, &actions);
        worker->set_device(devices[static_cast<std::size_t>(device_row)]);
        worker->set_settings(settings);
        return worker;
    }

    std::string short_tone(const std::string& name) {
        const auto path = folder.file(name);
        test::write_media(path, test::wav_pcm(44100, 2, 0.3));
        return path.string();
    }

    std::string long_clip(const std::string& name) {
        const auto path = folder.file(name);
        test::write_media(path, test::mp4_h264_aac(640, 480, {25, 1}, 40.0));
        return path.string();
    }

    int output_count() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(output_folder()),
                                              std::filesystem::directory_iterator()));
    }

    test::TempFolder folder;
    DeviceTable devices;
    AppSettings settings;
    test::RecordingShell shell;
    int saves = 0;
    PostBatchActions actions{shell, [this](const AppSettings&) { ++saves; }};
    RecordingHost host;
};

TEST_F(ConversionWorkerTest, FirstStartConvertsTheWholeBatchAndOpensTheFolder) {
    auto worker = make_worker();
    EXPECT_EQ(worker->status_text(), strings::idle_prompt);
    worker->add_files({short_tone("a.wav"), short_tone("b.wav"), short_tone("c.wav")});
    EXPECT_EQ(worker->total_count(), 3);
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 1; }));
    ASSERT_TRUE(host.wait_for([&] { return shell.count(Kind::open_folder) == 1; }));

    EXPECT_EQ(host.begins, 3);
    ASSERT_EQ(host.finished.size(), 3u);
    for (const auto& [path, outcome] : host.finished) {
        EXPECT_TRUE(outcome.converted) << path << ": " << outcome.reason;
    }
    EXPECT_EQ(output_count(), 3);
    EXPECT_TRUE(host.failed_batches.empty()); // nothing refused, no list to show
    EXPECT_EQ(shell.calls()[0].argument, output_folder());
    EXPECT_EQ(shell.count(Kind::power_off), 0);
    EXPECT_FALSE(worker->converting());
    EXPECT_EQ(worker->status_text(), strings::idle_prompt);

    // A later start while idle wakes the same thread for a batch of only the new files.
    worker->add_files({short_tone("d.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 2; }));
    EXPECT_EQ(host.finished.size(), 4u);
    EXPECT_EQ(worker->total_count(), 1);
}

TEST_F(ConversionWorkerTest, FilesAddedDuringABatchJoinIt) {
    auto worker = make_worker();
    worker->add_files({long_clip("long.mp4"), short_tone("b.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.begins == 1; }));
    worker->add_files({short_tone("c.wav"), short_tone("d.wav")});
    worker->start_conversion();
    EXPECT_EQ(worker->total_count(), 4);
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 1; }, 120s));
    ASSERT_EQ(host.finished.size(), 4u);
    EXPECT_EQ(std::filesystem::path(host.finished[3].first).filename(), "d.wav");
    EXPECT_EQ(host.begins, 4);
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
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 2; }));
    ASSERT_EQ(host.finished.size(), 2u);
    EXPECT_EQ(host.finished[1].first, late);
    EXPECT_TRUE(host.finished[1].second.converted);
}

TEST_F(ConversionWorkerTest, StopEndsTheFileShorterAndDropsTheRest) {
    auto worker = make_worker(1);
    worker->add_files({long_clip("long.mp4"), short_tone("never.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.begins == 1; }));
    worker->request_stop();
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 1; }));
    ASSERT_TRUE(host.wait_for([&] { return shell.count(Kind::open_folder) == 1; }));

    ASSERT_EQ(host.finished.size(), 1u);
    const JobOutcome& outcome = host.finished[0].second;
    ASSERT_TRUE(outcome.converted) << outcome.reason;
    const auto info = test::inspect_media(outcome.output_path);
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 39.0);
    EXPECT_EQ(output_count(), 1);
    EXPECT_EQ(worker->status_text(), strings::idle_prompt);

    // The dropped file is gone: the next batch holds only what comes next.
    worker->add_files({short_tone("next.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 2; }));
    ASSERT_EQ(host.finished.size(), 2u);
    EXPECT_EQ(std::filesystem::path(host.finished[1].first).filename(), "next.wav");
}

TEST_F(ConversionWorkerTest, PowerOffOnlyAfterAFinishedBatch) {
    settings.shutdown_after_batch = 1;
    {
        auto worker = make_worker();
        worker->add_files({short_tone("a.wav")});
        worker->start_conversion();
        ASSERT_TRUE(host.wait_for([&] { return shell.count(Kind::power_off) == 1; }));
        EXPECT_EQ(saves, 1); // the settings are written before the machine goes down
        EXPECT_EQ(shell.count(Kind::open_folder), 0);
    }
    {
        auto worker = make_worker(1);
        worker->add_files({long_clip("long.mp4")});
        worker->start_conversion();
        ASSERT_TRUE(host.wait_for([&] { return host.begins == 2; }));
        worker->request_stop();
        ASSERT_TRUE(host.wait_for([&] { return shell.count(Kind::open_folder) == 1; }));
        EXPECT_EQ(shell.count(Kind::power_off), 1); // still only the first batch's
    }
}

TEST_F(ConversionWorkerTest, RefusedFilesAreShownOnceWhenTheBatchEnds) {
    auto worker = make_worker();
    const std::string notes = folder.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    worker->add_files({short_tone("a.wav"), notes});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.failed_batches.size() == 1; }));
    ASSERT_EQ(host.failed_batches[0].size(), 1u);
    EXPECT_EQ(host.failed_batches[0][0].path, notes);
    EXPECT_EQ(host.failed_batches[0][0].reason, "cannot read this file");

    // The next batch starts with an empty list.
    worker->add_files({short_tone("b.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.ends == 2; }));
    EXPECT_EQ(host.failed_batches.size(), 1u);
}

TEST_F(ConversionWorkerTest, ClosingDuringAConversionStopsItAndRunsNoEndOfBatch) {
    auto worker = make_worker(1);
    worker->add_files({long_clip("long.mp4"), short_tone("b.wav")});
    worker->start_conversion();
    ASSERT_TRUE(host.wait_for([&] { return host.begins == 1; }));
    const auto closing = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 10s);
    EXPECT_EQ(host.ends, 0);
    EXPECT_EQ(host.begins, 1);
    EXPECT_EQ(shell.calls().size(), 0u);
}

TEST_F(ConversionWorkerTest, ProgressTextAndAnswers) {
    auto worker = make_worker();
    EXPECT_TRUE(worker->on_progress(42));
    EXPECT_EQ(worker->status_text(), "42%");
    worker->request_stop();
    EXPECT_FALSE(worker->on_progress(43));
}

} // namespace
} // namespace morvane
