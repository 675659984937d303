// SPDX-License-Identifier: GPL-3.0-or-later
// How a video stream's pictures are shown: the stored size with the pixel shape (sample
// aspect ratio) and the display matrix's rotation applied. Players ignore both, so the
// engine makes the pictures upright and square-pixelled itself.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

struct DisplayShape {
    int width = 0; // as shown
    int height = 0;
    int clockwise_turn = 0; // 0, 90, 180 or 270 degrees that make the stored picture upright
};

DisplayShape display_shape(const AVStream& stream);

// Pictures per second as the stream states them: its average rate, else its base rate (either
// may be 0/0 or 0/1 when unknown).
AVRational stated_frame_rate(const AVStream& stream);

} // namespace morvane
