// SPDX-License-Identifier: GPL-3.0-or-later
// The picture every generated video frame carries: eight flat vertical bars of known colour and
// position, so that a test can decode a converted file and tell picture from padding and check
// where the picture went. None of the bars is black, so a black border is never a bar.
//
// Bar i covers the columns [bar_left(i, width), bar_right(i, width)), that is
// [i * width / 8, (i + 1) * width / 8) in integer arithmetic, over the full height. Colours are
// BT.601 limited range (Y 16..235, U and V 16..240):
//   0 white 75%  (180,128,128)   1 yellow  (162, 44,142)   2 cyan  (131,156, 44)
//   3 green      (112, 72, 58)   4 magenta ( 84,184,198)   5 red   ( 65,100,212)
//   6 blue       ( 35,212,114)   7 white 100% (235,128,128)
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>

namespace morvane::test {

struct YuvColour {
    int y = 0;
    int u = 0;
    int v = 0;

    friend bool operator==(const YuvColour&, const YuvColour&) = default;
};

// Black in limited range, as padding is painted.
inline constexpr YuvColour kBlack{16, 128, 128};

inline constexpr int kBarCount = 8;

YuvColour bar_colour(int bar);
// First column of a bar, and the column just after its last.
int bar_left(int bar, int width);
int bar_right(int bar, int width);
// The bar that covers column x of a picture `width` wide.
int bar_at(int x, int width);
// The colour column x of a generated picture `width` wide carries.
YuvColour bar_colour_at(int x, int width);
// The column in the middle of a bar: the safest place to sample after lossy coding or scaling.
int bar_centre(int bar, int width);

// The largest difference of the three components.
int colour_distance(const YuvColour& a, const YuvColour& b);

// Paints the bars into a frame whose buffers are allocated: any 8-bit planar YUV format, full
// range ones (yuvj*) with values expanded to 0..255.
void paint_colour_bars(AVFrame& frame);

} // namespace morvane::test
