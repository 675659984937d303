// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/encoder_choice.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(EncoderChoice, FrameRateTakesTheNearestListedRate) {
    const AVRational listed[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {0, 0}};
    EXPECT_EQ(av_cmp_q(nearest_frame_rate(listed, {30000, 1001}), AVRational{30000, 1001}), 0);
    EXPECT_EQ(av_cmp_q(nearest_frame_rate(listed, {50, 1}), AVRational{30, 1}), 0);
    EXPECT_EQ(av_cmp_q(nearest_frame_rate(nullptr, {50, 1}), AVRational{50, 1}), 0);
    // Equally near: the first listed wins.
    const AVRational tie[] = {{24, 1}, {26, 1}, {0, 0}};
    EXPECT_EQ(av_cmp_q(nearest_frame_rate(tie, {25, 1}), AVRational{24, 1}), 0);
}

TEST(EncoderChoice, PixelFormatKeepsAListedFormatElseTakesTheFirst) {
    const AVPixelFormat listed[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_NONE};
    EXPECT_EQ(choose_pixel_format(listed, AV_PIX_FMT_YUV422P), AV_PIX_FMT_YUV422P);
    EXPECT_EQ(choose_pixel_format(listed, AV_PIX_FMT_RGB24), AV_PIX_FMT_YUV420P);
    EXPECT_EQ(choose_pixel_format(nullptr, AV_PIX_FMT_RGB24), AV_PIX_FMT_RGB24);
}

TEST(EncoderChoice, SampleRateFallsBackToTheNearestSupported) {
    const int mp3_rates[] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000, 0};
    EXPECT_EQ(nearest_sample_rate(mp3_rates, 44100), 44100);
    EXPECT_EQ(nearest_sample_rate(mp3_rates, 96000), 48000);
    EXPECT_EQ(nearest_sample_rate(mp3_rates, 37800), 32000);
    EXPECT_EQ(nearest_sample_rate(mp3_rates, 4000), 8000);
    EXPECT_EQ(nearest_sample_rate(nullptr, 37800), 37800);
}

TEST(EncoderChoice, ChannelLayoutFallsBackToTheNearestCount) {
    AVChannelLayout listed[3]{}; // mono, stereo, end of list
    av_channel_layout_default(&listed[0], 1);
    av_channel_layout_default(&listed[1], 2);
    AVChannelLayout chosen{};
    nearest_channel_layout(listed, 6, chosen);
    EXPECT_EQ(chosen.nb_channels, 2);
    nearest_channel_layout(listed, 1, chosen);
    EXPECT_EQ(av_channel_layout_compare(&chosen, &listed[0]), 0);
    nearest_channel_layout(nullptr, 6, chosen);
    EXPECT_EQ(chosen.nb_channels, 6);
    av_channel_layout_uninit(&chosen);
}

} // namespace
} // namespace morvane
