// SPDX-License-Identifier: GPL-3.0-or-later
// What follows a batch, for every kind of batch and every choice of the user.
#include "jobs/post_batch_action.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(PostBatchAction, PowerOffOnlyAfterABatchInWhichEveryFileConverted) {
    BatchSummary clean;
    clean.converted = 2;
    clean.skipped = 1;
    BatchSummary stopped = clean;
    stopped.stopped = 1;
    stopped.not_started = 1;
    stopped.stop_requested = true;
    BatchSummary failed = clean;
    failed.failed = 1;
    failed.failed_files = {{"/in/a.wav", "No space left on device"}};
    BatchSummary not_sent = clean;
    not_sent.not_sent = 1;
    not_sent.not_sent_files = {{"/in/b.wav", "the stick is full"}};

    struct Case {
        const char* name;
        const BatchSummary& summary;
        int shutdown, open_output;
        PostBatchAction expected;
    };
    const Case cases[] = {
        {"clean, power-off chosen", clean, 1, 1, PostBatchAction::power_off},
        {"clean, folder chosen", clean, 0, 1, PostBatchAction::open_folder},
        {"clean, nothing chosen", clean, 0, 0, PostBatchAction::none},
        {"stopped, power-off chosen", stopped, 1, 1, PostBatchAction::open_folder},
        {"stopped, only power-off chosen", stopped, 1, 0, PostBatchAction::none},
        {"failures, power-off chosen", failed, 1, 1, PostBatchAction::show_failed_files},
        {"failures, nothing chosen", failed, 0, 0, PostBatchAction::show_failed_files},
        {"not sent, folder chosen", not_sent, 0, 1, PostBatchAction::show_failed_files},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.shutdown_after_batch = c.shutdown;
        settings.open_output_after_batch = c.open_output;
        EXPECT_EQ(choose_post_batch_action(settings, c.summary), c.expected) << c.name;
    }
}

} // namespace
} // namespace morvane
