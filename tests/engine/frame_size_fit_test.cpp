// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_size_fit.h"

#include <gtest/gtest.h>
#include <ostream>

namespace morvane {
namespace {

struct FitCase {
    int source_width;
    int source_height;
    FrameSizeFit expected;
};

// Printed by value, not as raw bytes: the padding after the bool is never written.
void PrintTo(const FitCase& c, std::ostream* out) {
    *out << c.source_width << "x" << c.source_height;
}

class FrameSizeFitTo320x240 : public testing::TestWithParam<FitCase> {};

TEST_P(FrameSizeFitTo320x240, GivesPictureAndCentringBorders) {
    const FitCase& c = GetParam();
    const FrameSizeFit fit = fit_frame_size(c.source_width, c.source_height, 320, 240);
    EXPECT_EQ(fit.width, c.expected.width);
    EXPECT_EQ(fit.height, c.expected.height);
    EXPECT_EQ(fit.pad_left, c.expected.pad_left);
    EXPECT_EQ(fit.pad_right, c.expected.pad_right);
    EXPECT_EQ(fit.pad_top, c.expected.pad_top);
    EXPECT_EQ(fit.pad_bottom, c.expected.pad_bottom);
    EXPECT_TRUE(fit.pads_valid);
    // Whatever the source, the padded picture is exactly the device's screen.
    EXPECT_EQ(fit.width + fit.pad_left + fit.pad_right, 320);
    EXPECT_EQ(fit.height + fit.pad_top + fit.pad_bottom, 240);
}

INSTANTIATE_TEST_SUITE_P(CommonSources, FrameSizeFitTo320x240,
                         testing::Values(FitCase{640, 480, {320, 240, 0, 0, 0, 0}},
                                         FitCase{720, 576, {300, 240, 10, 10, 0, 0}},
                                         FitCase{1280, 720, {320, 180, 0, 0, 30, 30}},
                                         FitCase{352, 288, {292, 240, 14, 14, 0, 0}},
                                         // Smaller in both directions: never enlarged.
                                         FitCase{176, 144, {176, 144, 72, 72, 48, 48}},
                                         // Smaller in one direction only: scale factor 1.
                                         FitCase{160, 240, {160, 240, 80, 80, 0, 0}},
                                         // Odd sizes are made even and still fill the screen.
                                         FitCase{175, 143, {176, 144, 72, 72, 48, 48}},
                                         // Odd borders on both sides move a pixel across.
                                         FitCase{640, 356, {320, 178, 0, 0, 30, 32}},
                                         // Very thin or flat: a line two pixels wide stays.
                                         FitCase{8, 2000, {2, 240, 158, 160, 0, 0}},
                                         FitCase{4000, 2, {320, 2, 0, 0, 118, 120}}));

TEST(FrameSizeFit, LandscapeTargetsOfTheDevices) {
    const FrameSizeFit phone = fit_frame_size(1920, 1080, 480, 320);
    EXPECT_EQ(phone.width, 480);
    EXPECT_EQ(phone.height, 270);
    EXPECT_EQ(phone.pad_top + phone.height + phone.pad_bottom, 320);

    const FrameSizeFit handheld = fit_frame_size(640, 480, 368, 208);
    EXPECT_EQ(handheld.height, 208);
    EXPECT_EQ(handheld.width + handheld.pad_left + handheld.pad_right, 368);
    EXPECT_EQ(handheld.pad_left % 2, 0);
    EXPECT_EQ(handheld.pad_right % 2, 0);
}

TEST(FrameSizeFit, UnknownSourceSizeDoesNotDivideByZero) {
    const FrameSizeFit fit = fit_frame_size(0, 0, 320, 240);
    EXPECT_EQ(fit.width + fit.pad_left + fit.pad_right, 320);
    EXPECT_EQ(fit.height + fit.pad_top + fit.pad_bottom, 240);
}

} // namespace
} // namespace morvane
