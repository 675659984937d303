// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle of the stored picture (as decoded: before any turn or pixel shape) kept by a
// crop, with the size it was cut from.
#pragma once

namespace morvane {

struct PictureCrop {
    int left = 0; // pixels of the stored picture left out on the left, and above
    int top = 0;
    int width = 0; // what is kept
    int height = 0;
    int full_width = 0; // the stored picture it was cut from
    int full_height = 0;

    bool cuts() const { return width < full_width || height < full_height; }
};

} // namespace morvane
