// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a picture into a device screen: one scale factor for both directions, never
// enlarging, and even-sized centring borders so that 4:2:0 chroma stays aligned.
#pragma once

#include <string>

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

// The libavfilter chain that scales a picture to `picture_width`x`picture_height` (bicubic,
// square pixels) and puts it `left`, `top` into a black frame of `frame_width`x`frame_height`,
// in `pixel_format`: what films and their thumbnails alike are fitted with. `on_picture`
// (filters, or empty) works on the scaled picture before the borders: burned-in subtitles
// stay inside the picture.
std::string fitting_filters(int picture_width, int picture_height, int frame_width,
                            int frame_height, int left, int top, const char* pixel_format,
                            const std::string& on_picture = {});

} // namespace morvane
