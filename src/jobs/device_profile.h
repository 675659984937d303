// SPDX-License-Identifier: GPL-3.0-or-later
// How files are converted for one target player, and how the player is shown.
#pragma once

#include <cstdint> // FFmpeg's headers need the integer constant macros
#include <optional>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace morvane {

struct DeviceProfile {
    std::string image_path; // absolute path of the device's picture
    std::string display_name;

    // Players of films get an MP4 of a file with moving pictures; every player gets an MP3 of
    // a file of sound alone. A player without a screen gets MP3s only.
    bool plays_video = false;
    int screen_width = 0; // as the screen is described (portrait or landscape)
    int screen_height = 0;
    AVCodecID video_codec = AV_CODEC_ID_NONE;       // pictures of films
    AVCodecID video_audio_codec = AV_CODEC_ID_NONE; // sound of films
    std::string video_format_name;
    std::string video_extension; // with its dot; selects the output container
    // Bits per second of the pictures on average, and the player's published maximum, which
    // no second of a film may go beyond by more than a tenth.
    int video_bit_rate = 0;
    int video_max_rate = 0;

    AVCodecID audio_codec = AV_CODEC_ID_NONE; // files of sound alone
    std::optional<int> channels;              // none keeps the source's
    std::optional<int> sample_rate;           // none keeps the source's
    std::string audio_format_name;
    std::string audio_extension;

    // False where the player's media library is closed to other programs: converted files
    // are for its own tools to add, and nothing is sent to it.
    bool accepts_sent_files = true;
};

} // namespace morvane
