// SPDX-License-Identifier: GPL-3.0-or-later
// The batch's time left weighs each file by what it is expected to cost.
#include "jobs/batch_time_left.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using Work = BatchTimeLeft::Work;

// A 25-minute 320x240 film and three 6-second songs, in both orders, on a machine where a
// second of film costs 7 times a second of sound and a file 5 of them (as measured on two
// cores), but everything runs 3 times slower than that: once the first file is done, the
// estimate is within a quarter of what is left, however the files are mixed.
TEST(BatchTimeLeft, AMixedBatchIsEstimatedByEachFilesKindAndLength) {
    const Work film{25 * 60.0, true, 320 * 240 * 25.0};
    const Work song{6.0, false, 0};
    const auto cost = [](const Work& work) {
        const double sound_second = 3 * 0.006;
        return sound_second * (5 + work.seconds * (work.film ? 7.2 : 1.0));
    };
    for (const bool film_first : {true, false}) {
        SCOPED_TRACE(film_first ? "film first" : "songs first");
        const std::vector<Work> batch =
            film_first ? std::vector{film, song, song, song} : std::vector{song, song, song, film};
        BatchTimeLeft estimate;
        for (int index = 0; index < 4; ++index) {
            estimate.file_expected(index, batch[static_cast<std::size_t>(index)]);
        }
        EXPECT_FALSE(estimate.seconds_left(4)) << "nothing measured yet";
        const double first = cost(batch[0]);
        estimate.file_progress(0, 0.0, 0.0);
        estimate.file_done(0, first);
        double left = 0;
        for (std::size_t index = 1; index < batch.size(); ++index) {
            left += cost(batch[index]);
        }
        ASSERT_TRUE(estimate.seconds_left(4));
        EXPECT_NEAR(*estimate.seconds_left(4), left, 0.25 * left);
    }
}

TEST(BatchTimeLeft, WhatIsNotKnownOrNotConvertedWeighsAsItShould) {
    // Two one-minute songs, the first done in 2 s; the third failed; the fourth not
    // glanced yet weighs as the mean of those known.
    BatchTimeLeft estimate;
    estimate.file_expected(0, Work{60, false, 0});
    estimate.file_expected(1, Work{60, false, 0});
    estimate.file_progress(0, 0.0, 0.0);
    estimate.file_done(0, 2.0);
    estimate.file_passed(2);
    ASSERT_TRUE(estimate.seconds_left(4));
    EXPECT_NEAR(*estimate.seconds_left(4), 4.0, 0.01);
    // Halfway through the second a second later: a second for it, two for the one not
    // glanced.
    estimate.file_progress(1, 0.0, 2.0);
    estimate.file_progress(1, 0.5, 3.0);
    EXPECT_NEAR(*estimate.seconds_left(4), 3.0, 0.01);
    // Two converters at once share what is left, but no file ends sooner than alone.
    EXPECT_NEAR(*estimate.seconds_left(4, 2), 2.0, 0.01);
    // A file still going says little of a unit's cost until it has taken half a second.
    BatchTimeLeft early;
    early.file_expected(0, Work{600, true, 1e6});
    early.file_progress(0, 0.0, 0.0);
    early.file_progress(0, 0.001, 0.2);
    EXPECT_FALSE(early.seconds_left(1));
}

} // namespace
} // namespace morvane
