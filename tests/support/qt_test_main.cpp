// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the test programs that need Qt widgets: one QApplication for all their tests,
// on the offscreen platform unless the environment names another.
#include <QApplication>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    av_log_set_level(AV_LOG_ERROR); // FFmpeg's statistics would bury a failure's output
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
