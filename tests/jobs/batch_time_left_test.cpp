// SPDX-License-Identifier: GPL-3.0-or-later
// The batch's time left weighs each file by its duration.
#include "jobs/batch_time_left.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(BatchTimeLeft, FilesWeighByTheirDuration) {
    // Three 10 s clips took 3 s; the fourth, ten minutes long, is a tenth done.
    BatchTimeLeft estimate;
    for (int index = 0; index < 3; ++index) {
        estimate.file_progress(index, 10, 1.0);
    }
    estimate.file_progress(3, 600, 0.1);
    const double elapsed = 3 + 6; // its tenth took 6 s
    ASSERT_TRUE(estimate.seconds_left(elapsed, 4));
    EXPECT_NEAR(*estimate.seconds_left(elapsed, 4), 54, 1);

    // Files not opened yet weigh as the mean of those known; a failed one weighs nothing.
    BatchTimeLeft waiting;
    waiting.file_progress(0, 60, 1.0);
    waiting.file_passed(1);
    EXPECT_NEAR(*waiting.seconds_left(10, 4), 20, 0.01);
    // Too early to tell: nothing rather than a wild guess.
    EXPECT_FALSE(BatchTimeLeft{}.seconds_left(10, 3));
    EXPECT_FALSE(waiting.seconds_left(0.5, 4));
}

} // namespace
} // namespace morvane
