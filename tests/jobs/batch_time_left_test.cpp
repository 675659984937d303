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

TEST(BatchTimeLeft, AMinuteOfFilmWeighsMoreThanAMinuteOfSound) {
    using Kind = BatchTimeLeft::Kind;
    // A one-minute film took 30 s; a five-hour song is a tenth done 2 s later: what it
    // shows of sound's cost, not its five hours, says what is left.
    BatchTimeLeft mixed;
    mixed.file_progress(0, 60, 0.0, Kind::film, 0);
    mixed.file_progress(0, 60, 1.0, Kind::film, 30);
    mixed.file_progress(1, 5 * 3600, 0.0, Kind::sound, 30);
    mixed.file_progress(1, 5 * 3600, 0.1, Kind::sound, 32);
    ASSERT_TRUE(mixed.seconds_left(32, 2));
    EXPECT_NEAR(*mixed.seconds_left(32, 2), 18, 1);
    // Before any sound was timed, a second of film counts as twenty of sound.
    BatchTimeLeft unlearnt;
    unlearnt.file_progress(0, 60, 1.0, Kind::film, 30);
    unlearnt.file_progress(1, 1200, 0.0, Kind::sound, 30);
    EXPECT_NEAR(*unlearnt.seconds_left(30, 2), 30, 1);
}

} // namespace
} // namespace morvane
