// How files are converted for one target player, and how the player is shown.
#pragma once

#include <cstdint> // FFmpeg's headers need the integer constant macros
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace morvane {

constexpr int KIND_VIDEO = 1; // the device plays video
constexpr int KIND_AUDIO = 2; // the device plays audio

struct DeviceProfile {
    std::string image_path; // absolute path of the device's picture
    std::string display_name;
    int media_kinds = 0;
    int screen_width = 0; // as the screen is described; 0 for audio-only players
    int screen_height = 0;
    AVCodecID video_codec = AV_CODEC_ID_NONE;       // video stream of video outputs
    AVCodecID video_audio_codec = AV_CODEC_ID_NONE; // audio stream of video outputs
    std::string video_format_name;
    std::string video_extension; // with its dot; selects the output container
    int target_bit_rate = 1500000;
    AVCodecID audio_codec = AV_CODEC_ID_NONE; // audio-only outputs
    int target_channels = -1;                 // -1 keeps the source's
    int target_sample_rate = -1;              // -1 keeps the source's
    std::string audio_format_name;
    std::string audio_extension;
};

} // namespace morvane
