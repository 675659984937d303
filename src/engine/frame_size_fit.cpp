// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/frame_size_fit.h"

#include <cstdio>

namespace morvane {

namespace {

// Makes both borders even: an odd pair moves one pixel across, a single odd border gives
// its pixel to the picture.
void even_out(int& size, int& before, int& after) {
    const bool before_odd = before % 2 != 0;
    const bool after_odd = after % 2 != 0;
    if (before_odd && after_odd) {
        before -= 1;
        after += 1;
    } else if (before_odd) {
        size += 1;
        before -= 1;
    } else if (after_odd) {
        size += 1;
        after -= 1;
    }
}

} // namespace

FrameSizeFit fit_frame_size(int source_width, int source_height, int target_width,
                            int target_height) {
    const float source_w = static_cast<float>(source_width);
    const float source_h = static_cast<float>(source_height);
    FrameSizeFit fit;
    if (source_width < target_width && source_height < target_height) {
        fit.width = source_width;
        fit.height = source_height;
    } else {
        const float ratio_w = static_cast<float>(target_width) / source_w;
        const float ratio_h = static_cast<float>(target_height) / source_h;
        const float ratio = ratio_w < ratio_h ? ratio_w : ratio_h;
        fit.width = static_cast<int>(source_w * ratio + 0.5f) & ~1;
        fit.height = static_cast<int>(source_h * ratio + 0.5f) & ~1;
        // A very thin or very flat picture keeps a line the player can show.
        fit.width = fit.width < 2 && source_width > 0 ? 2 : fit.width;
        fit.height = fit.height < 2 && source_height > 0 ? 2 : fit.height;
    }
    fit.pad_left = fit.pad_right = (target_width - fit.width) / 2;
    fit.pad_top = fit.pad_bottom = (target_height - fit.height) / 2;
    if ((fit.width + fit.pad_left + fit.pad_right) % 2 != 0) {
        fit.pad_left += 1;
    }
    if ((fit.height + fit.pad_top + fit.pad_bottom) % 2 != 0) {
        fit.pad_top += 1;
    }
    even_out(fit.width, fit.pad_left, fit.pad_right);
    even_out(fit.height, fit.pad_top, fit.pad_bottom);
    fit.pads_valid =
        fit.pad_left >= 0 && fit.pad_right >= 0 && fit.pad_top >= 0 && fit.pad_bottom >= 0;
    return fit;
}

std::string fitting_filters(int picture_width, int picture_height, int frame_width,
                            int frame_height, int left, int top, const char* pixel_format,
                            const std::string& on_picture) {
    char scale[96];
    std::snprintf(scale, sizeof scale, "scale=%d:%d:flags=bicubic,setsar=1,", picture_width,
                  picture_height);
    char pad[160];
    std::snprintf(pad, sizeof pad, "pad=%d:%d:%d:%d:color=black,format=pix_fmts=%s", frame_width,
                  frame_height, left, top, pixel_format);
    return std::string(scale) + (on_picture.empty() ? "" : on_picture + ",") + pad;
}

} // namespace morvane
