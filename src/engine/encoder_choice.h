// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing among what an encoder declares it supports: the wanted value when listed,
// otherwise the nearest one, so that unusual sources still convert.
#pragma once

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
}

namespace morvane {

// `list` ends with {0, 0}; nullptr means any rate. Of equally near entries the first wins.
AVRational nearest_frame_rate(const AVRational* list, AVRational wanted);

// `list` ends with AV_PIX_FMT_NONE; the wanted format when listed, else the list's first.
AVPixelFormat choose_pixel_format(const AVPixelFormat* list, AVPixelFormat wanted);

// `list` ends with 0; nullptr means any rate. Of equally near rates the first listed wins.
int nearest_sample_rate(const int* list, int wanted);

// `list` ends with a zeroed layout; nullptr means any layout. Fills `chosen` with the listed
// layout whose channel count is nearest to `channels` (the first of equals), or with the
// default layout for `channels` when anything goes.
void nearest_channel_layout(const AVChannelLayout* list, int channels, AVChannelLayout& chosen);

// `list` ends with AV_SAMPLE_FMT_NONE; the encoder's preferred (first) format.
AVSampleFormat choose_sample_format(const AVSampleFormat* list);

} // namespace morvane
