// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader is told of a batch, and when: where it stands at most every ten
// seconds (each long file as it starts, a long one recalled every minute), how a stop ended,
// and the one sentence of its end, naming up to three files that did not make it.
#include "conversion_window/batch_words.h"
#include "conversion_window/progress_pace.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using namespace std::chrono_literals;

std::string text(const QString& words) {
    return words.toStdString();
}

TEST(SpokenBatch, ProgressIsSaidAtAPaceAPersonCanFollow) {
    struct Status {
        std::chrono::milliseconds at;
        int file;
        bool said;
    };
    const struct {
        const char* what;
        std::vector<Status> statuses;
    } cases[] = {
        {"short files: at most once in ten seconds, never at the batch's start",
         {{0ms, 0, false},
          {300ms, 1, false},
          {9900ms, 30, false},
          {10000ms, 31, true},
          {10500ms, 32, false},
          {19900ms, 60, false},
          {20100ms, 61, true}}},
        {"long files: each as it starts, and recalled every minute",
         {{0ms, 0, false},
          {30s, 0, false},
          {60s, 0, true},
          {65s, 1, false},
          {70s, 1, true}, // ten seconds after the last thing said
          {95s, 2, true},
          {154s, 2, false},
          {155s, 2, true}}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const auto start = ProgressPace::Clock::now();
        ProgressPace pace;
        pace.start(start);
        for (const Status& status : each.statuses) {
            EXPECT_EQ(pace.due(status.file, start + status.at), status.said)
                << status.at.count() << " ms, file " << status.file;
        }
    }
}

TEST(SpokenBatch, WordsOfPositionStopAndEnd) {
    // The minutes the window shows ("2:50 left").
    EXPECT_EQ(text(progress_words(11, 100, 170.0)), "12 of 100, 2 minutes left");
    EXPECT_EQ(text(progress_words(0, 3, std::nullopt)), "1 of 3");
    EXPECT_EQ(text(progress_words(0, 1, 59.0)), "1 of 1, less than a minute left");
    EXPECT_EQ(text(progress_words(0, 1, 3900.0)), "1 of 1, 1 hour 5 minutes left");
    EXPECT_EQ(text(progress_words(0, 1, 7261.0)), "1 of 1, 2 hours 1 minute left");

    JobOutcome cut;
    cut.status = JobStatus::stopped;
    cut.output_path = "/out/long.mp4";
    cut.seconds_done = 299.9;
    cut.seconds_total = 300;
    // Never "100%" for a file cut short; "%1" in a name stays as it is.
    EXPECT_EQ(text(stop_words("/in/100%1 long.mkv", cut)),
              "Stopped at 99%: 100%1 long.mkv is kept, shorter");

    BatchSummary summary;
    summary.converted = 20;
    summary.failed = 1;
    summary.failed_files = {{"/in/broken.mkv", "no picture could be decoded"}};
    const struct {
        const char* what;
        BatchSummary summary;
        std::optional<StoppedFile> stopped;
        const char* said;
    } cases[] = {
        {"one failure, named", summary, std::nullopt,
         "Batch finished: 20 converted; broken.mkv not converted: no picture could be decoded"},
        {"stopped",
         [&] {
             BatchSummary stopped = summary;
             stopped.converted = 2;
             stopped.stopped = 1;
             stopped.not_started = 3;
             stopped.stop_requested = true;
             return stopped;
         }(),
         StoppedFile{"/in/long.mkv",
                     [&] {
                         JobOutcome at_95 = cut;
                         at_95.seconds_done = 285;
                         return at_95;
                     }()},
         "Stopped at 95%: long.mkv is kept, shorter; 2 converted, 3 not started; broken.mkv not "
         "converted: no picture could be decoded"},
        {"not sent, and incomplete, named as such",
         [&] {
             BatchSummary mixed;
             mixed.converted = 2;
             mixed.incomplete = 1;
             mixed.sent = 1;
             mixed.not_sent = 1;
             mixed.failed_files = {{"/in/cut.mkv", "incomplete: the input ends at 0:04 of 0:20"}};
             mixed.not_sent_files = {{"/in/b.mkv", "the stick is full"}};
             return mixed;
         }(),
         std::nullopt,
         "Batch finished: 2 converted, 1 sent to the player; cut.mkv incomplete: the input ends "
         "at 0:04 of 0:20; b.mkv not sent to the player: the stick is full"},
        {"a player that takes nothing, and one already there",
         [&] {
             BatchSummary refused;
             refused.converted = 1;
             refused.skipped = 1;
             refused.already_on_player = 1;
             refused.player_refusal = "the iPod's database cannot be read";
             return refused;
         }(),
         std::nullopt,
         "Batch finished: 1 converted, 1 skipped, 1 already on the player, nothing sent to the "
         "player: the iPod's database cannot be read"},
        {"more than three: counted",
         [&] {
             BatchSummary many = summary;
             many.failed = 4;
             many.failed_files.assign(4, {"/in/x.mkv", "why"});
             return many;
         }(),
         std::nullopt, "Batch finished: 20 converted, 4 failed"},
        {"a folder without media",
         [] {
             BatchSummary none;
             none.no_media_found = true;
             return none;
         }(),
         std::nullopt, "No audio or video files in that folder"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(text(batch_end_words(each.summary, each.stopped)), each.said) << each.what;
    }
    EXPECT_EQ(text(summary_text(cases[2].summary)),
              "2 converted, 1 incomplete, 1 sent to the player, 1 not sent to the player");
    EXPECT_EQ(text(failed_files_link_text(cases[2].summary)),
              "Show the files not converted or not sent");
    EXPECT_EQ(text(failed_files_link_text(BatchSummary{})), "");
}

} // namespace
} // namespace morvane
