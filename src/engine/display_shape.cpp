// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/display_shape.h"

#include <cmath>
#include <cstdint>
#include <utility>

extern "C" {
#include <libavutil/display.h>
}

namespace morvane {

namespace {

int clockwise_turn(const AVStream& stream) {
    const AVPacketSideData* side_data = nullptr;
    for (int index = 0; index < stream.nb_side_data; ++index) {
        if (stream.side_data[index].type == AV_PKT_DATA_DISPLAYMATRIX &&
            stream.side_data[index].size >= static_cast<int>(9 * sizeof(std::int32_t))) {
            side_data = &stream.side_data[index];
        }
    }
    if (side_data == nullptr) {
        return 0;
    }
    // The matrix turns counter-clockwise; showing the picture needs the opposite turn.
    const double angle =
        -av_display_rotation_get(reinterpret_cast<const std::int32_t*>(side_data->data));
    if (std::isnan(angle)) {
        return 0;
    }
    const int quarter = static_cast<int>(std::lround(angle / 90.0)) % 4;
    return (quarter + 4) % 4 * 90;
}

} // namespace

DisplayShape display_shape(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    DisplayShape shape;
    shape.width = parameters.width;
    shape.height = parameters.height;
    AVRational pixel = parameters.sample_aspect_ratio;
    if (pixel.num <= 0 || pixel.den <= 0) {
        pixel = stream.sample_aspect_ratio;
    }
    if (pixel.num > 0 && pixel.den > 0 && pixel.num != pixel.den && shape.width > 0) {
        const double width = static_cast<double>(shape.width) * pixel.num / pixel.den;
        if (width >= 1.0 && width <= 16384.0) {
            shape.width = static_cast<int>(std::lround(width));
        }
    }
    shape.clockwise_turn = clockwise_turn(stream);
    if (shape.clockwise_turn == 90 || shape.clockwise_turn == 270) {
        std::swap(shape.width, shape.height);
    }
    return shape;
}

AVRational stated_frame_rate(const AVStream& stream) {
    const AVRational average = stream.avg_frame_rate;
    return average.num > 0 && average.den > 0 ? average : stream.r_frame_rate;
}

} // namespace morvane
