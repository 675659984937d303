// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a picture into a device screen: one scale factor for both directions, never
// enlarging, and even-sized centring borders so that 4:2:0 chroma stays aligned.
#pragma once

namespace morvane {

struct FrameSizeFit {
    int width = 0; // picture size after scaling, before the borders
    int height = 0;
    int pad_left = 0;
    int pad_right = 0;
    int pad_top = 0;
    int pad_bottom = 0;
    bool pads_valid = true; // false when a border came out negative
};

FrameSizeFit fit_frame_size(int source_width, int source_height, int target_width,
                            int target_height);

} // namespace morvane
