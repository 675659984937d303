// SPDX-License-Identifier: GPL-3.0-or-later
// The colour-bar contract that pixel checks in other tests lean on.
#include "support/av_handles.h"
#include "support/colour_bars.h"

#include <gtest/gtest.h>

namespace morvane::test {
namespace {

TEST(ColourBars, TileEveryWidthWithoutGapsOrOverlap) {
    for (int width : {1, 7, 8, 175, 176, 320, 720, 1280}) {
        EXPECT_EQ(bar_left(0, width), 0);
        EXPECT_EQ(bar_right(kBarCount - 1, width), width);
        for (int bar = 1; bar < kBarCount; ++bar) {
            EXPECT_EQ(bar_left(bar, width), bar_right(bar - 1, width)) << width;
        }
        for (int x = 0; x < width; ++x) {
            const int bar = bar_at(x, width);
            EXPECT_LE(bar_left(bar, width), x);
            EXPECT_LT(x, bar_right(bar, width)) << "width " << width << " column " << x;
        }
    }
    EXPECT_THROW(bar_at(320, 320), std::out_of_range);
    EXPECT_THROW(bar_colour(kBarCount), std::out_of_range);
}

TEST(ColourBars, AreTellableFromEachOtherAndFromBlackPadding) {
    for (int bar = 0; bar < kBarCount; ++bar) {
        EXPECT_GE(colour_distance(bar_colour(bar), kBlack), 19) << bar;
        for (int other = bar + 1; other < kBarCount; ++other) {
            EXPECT_GE(colour_distance(bar_colour(bar), bar_colour(other)), 40) << bar << other;
        }
    }
}

TEST(ColourBars, PaintLimitedRangeAsIsAndFullRangeExpanded) {
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV444P}) {
        av::FramePtr frame(av_frame_alloc());
        frame->width = 175;
        frame->height = 9;
        frame->format = format;
        ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
        paint_colour_bars(*frame);
        const bool full = format == AV_PIX_FMT_YUVJ420P;
        const int white = bar_centre(kBarCount - 1, 175);
        const int blue = bar_centre(6, 175);
        EXPECT_EQ(frame->data[0][white], full ? 255 : 235);
        EXPECT_EQ(frame->data[0][frame->linesize[0] * 8 + blue], full ? 22 : 35);
        const int chroma_x = format == AV_PIX_FMT_YUV444P ? blue : blue / 2;
        EXPECT_EQ(frame->data[1][chroma_x], full ? 224 : 212);
    }
    av::FramePtr rgb(av_frame_alloc());
    rgb->width = 8;
    rgb->height = 8;
    rgb->format = AV_PIX_FMT_RGB24;
    ASSERT_EQ(av_frame_get_buffer(rgb.get(), 0), 0);
    EXPECT_THROW(paint_colour_bars(*rgb), std::runtime_error);
}

} // namespace
} // namespace morvane::test
