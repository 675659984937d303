// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_target.h"

#include "engine/media_input.h"

#include <filesystem>

namespace morvane {

namespace {

std::string target_line(const std::string& extension, AVCodecID picture_codec, int width,
                        int height, AVCodecID sound_codec, int sample_rate, int channels) {
    std::string line = extension.empty() || extension[0] != '.' ? extension : extension.substr(1);
    if (picture_codec != AV_CODEC_ID_NONE) {
        line += " " + std::string(avcodec_get_name(picture_codec)) + " " + std::to_string(width) +
                "x" + std::to_string(height);
    }
    if (sound_codec != AV_CODEC_ID_NONE) {
        line += " " + std::string(avcodec_get_name(sound_codec)) + " " +
                std::to_string(sample_rate) + "x" + std::to_string(channels);
    }
    return line;
}

// The codec an encoder named in a plan writes.
AVCodecID encoded_codec(const NamedEncoder& encoder) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder.name.c_str());
    return codec != nullptr ? codec->id : AV_CODEC_ID_NONE;
}

} // namespace

std::string output_target(const ConversionPlan& plan, const std::string& extension) {
    const auto& picture = plan.picture;
    const auto& sound = plan.sound;
    std::string line =
        target_line(extension, picture ? encoded_codec(picture->encoder) : AV_CODEC_ID_NONE,
                    picture ? picture->frame_width : 0, picture ? picture->frame_height : 0,
                    sound ? encoded_codec(sound->encoder) : AV_CODEC_ID_NONE,
                    sound ? sound->sample_rate : 0, sound ? sound->channels : 0);
    // The picture's profile and level as the plan names them ("h264 baseline 3.0"), after its
    // codec. MPEG-4 films have only ever been Simple Profile level 1: their line stays as
    // outputs made before it was recorded read back.
    if (picture && encoded_codec(picture->encoder) != AV_CODEC_ID_MPEG4) {
        std::string detail;
        for (const char* name : {"profile", "level"}) {
            for (const auto& [option, value] : picture->encoder.options) {
                if (option == name) {
                    detail += " " + value;
                }
            }
        }
        const std::string codec = avcodec_get_name(encoded_codec(picture->encoder));
        const std::size_t at = line.find(" " + codec + " ");
        if (at != std::string::npos) {
            line.insert(at + 1 + codec.size(), detail);
        }
    }
    return line;
}

std::string probed_output_target(const std::string& path) {
    MediaInput output;
    if (output.open(path)) {
        return {};
    }
    const auto picture = output.picture();
    const auto sound = output.sound();
    return target_line(std::filesystem::path(path).extension().string(),
                       picture ? picture->codec : AV_CODEC_ID_NONE, picture ? picture->width : 0,
                       picture ? picture->height : 0, sound ? sound->codec : AV_CODEC_ID_NONE,
                       sound ? sound->sample_rate : 0, sound ? sound->channels : 0);
}

} // namespace morvane
