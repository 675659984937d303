// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry point for suites that run FFmpeg: only its errors reach the log, so that a
// failing test's output is not buried under encoder statistics.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
