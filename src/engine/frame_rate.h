// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures per second as a fraction (30000/1001), as FFmpeg's AVRational holds it, for the
// modules that do not include FFmpeg.
#pragma once

namespace morvane {

struct FrameRate {
    int num = 0;
    int den = 1;
};

} // namespace morvane
