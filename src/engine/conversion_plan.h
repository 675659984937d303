// SPDX-License-Identifier: GPL-3.0-or-later
// What one conversion makes: the output's streams and how each is encoded. The job builds one
// per file from the device's row and what the input holds; nothing of it outlives the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

// Moving pictures, the input's fitted into a frame between black borders.
struct PictureSpec {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int frame_width = 0; // the encoded frame, borders included
    int frame_height = 0;
    int picture_width = 0; // the input's picture, scaled, inside the borders
    int picture_height = 0;
    int left = 0; // the borders left of and above the picture
    int top = 0;
    AVRational frame_rate{30000, 1001};
    // Bits per second on average, and at most over the decoder's buffer of `buffer_size`
    // bits; 0: the encoder's own choice.
    int bit_rate = 0;
    int max_rate = 0;
    int buffer_size = 0;
    int keyframe_interval = 0; // pictures; 0: the encoder's own
    int profile = FF_PROFILE_UNKNOWN;
    int level = FF_LEVEL_UNKNOWN;
};

struct SoundSpec {
    AVCodecID codec = AV_CODEC_ID_NONE;
    // The encoder takes the nearest it supports, and never more than 48000 Hz.
    int sample_rate = 44100;
    int channels = 2;
    // The input has no sound: silence as long as the pictures.
    bool silence = false;
};

struct ConversionPlan {
    using Picture = PictureSpec;
    using Sound = SoundSpec;

    std::optional<Picture> picture; // none: no moving pictures in the output
    std::optional<Sound> sound;     // none: no sound
    // Written into the output beside the input's own tags and cover picture, which always go.
    std::vector<std::pair<std::string, std::string>> tags;
    // Microseconds of the input's timeline to convert; 0: all of it.
    std::int64_t time_limit = 0;
};

} // namespace morvane
