// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_target.h"

#include "engine/codec_names.h"
#include "engine/media_input.h"

#include <cstdlib>
#include <filesystem>

namespace morvane {

namespace {

// Codecs by FFmpeg's names; an empty name leaves its track out.
std::string target_line(const std::string& extension, const std::string& picture_codec, int width,
                        int height, const std::string& sound_codec, int sample_rate, int channels) {
    std::string line = extension.empty() || extension[0] != '.' ? extension : extension.substr(1);
    if (!picture_codec.empty()) {
        line += " " + picture_codec + " " + std::to_string(width) + "x" + std::to_string(height);
    }
    if (!sound_codec.empty()) {
        line +=
            " " + sound_codec + " " + std::to_string(sample_rate) + "x" + std::to_string(channels);
    }
    return line;
}

} // namespace

std::string output_target(const ConversionPlan& plan, const std::string& extension) {
    const auto& picture = plan.picture;
    const auto& sound = plan.sound;
    const std::string picture_codec =
        picture ? encoded_codec_name(picture->encoder.name) : std::string();
    std::string line = target_line(extension, picture_codec, picture ? picture->frame_width : 0,
                                   picture ? picture->frame_height : 0,
                                   sound ? encoded_codec_name(sound->encoder.name) : std::string(),
                                   sound ? sound->sample_rate : 0, sound ? sound->channels : 0);
    // The picture's profile and level as the plan names them ("h264 baseline 3.0"), after its
    // codec. MPEG-4 films have only ever been Simple Profile level 1: their line stays as
    // outputs made before it was recorded read back.
    if (!picture_codec.empty() && picture_codec != "mpeg4") {
        std::string detail;
        for (const char* name : {"profile", "level"}) {
            for (const auto& [option, value] : picture->encoder.options) {
                if (option == name) {
                    detail += " " + value;
                }
            }
        }
        const std::size_t at = line.find(" " + picture_codec + " ");
        if (at != std::string::npos) {
            line.insert(at + 1 + picture_codec.size(), detail);
        }
    }
    // The picture's rate where it is not the one every film once had ("25fps"), and the part
    // of the picture kept ("crop 1920x800+0+140"): without either the line is as before.
    if (picture && !(picture->frame_rate.num == 30000 && picture->frame_rate.den == 1001)) {
        line += " " + std::to_string(picture->frame_rate.num);
        if (picture->frame_rate.den != 1) {
            line += "/" + std::to_string(picture->frame_rate.den);
        }
        line += "fps";
    }
    if (picture && picture->crop) {
        const PictureCrop& crop = *picture->crop;
        line += " crop " + std::to_string(crop.width) + "x" + std::to_string(crop.height) + "+" +
                std::to_string(crop.left) + "+" + std::to_string(crop.top);
    }
    // The sound chosen among several by its language ("fra", "und" untagged), with the
    // alternate's ("fra+eng"): other languages make another output. A file with one sound
    // track names none, so its line stays as before.
    if (sound && sound->stream >= 0) {
        const auto code = [](const std::string& language) {
            return language.empty() ? std::string("und") : language;
        };
        line += " " + code(sound->language);
        if (plan.alternate_sound) {
            line += "+" + code(plan.alternate_sound->language);
        }
    }
    // The subtitles shown ("subtitles 3 burned", "subtitles 2 track": the input's stream);
    // without them the line is as before.
    if (picture && picture->burned_subtitles >= 0) {
        line += " subtitles " + std::to_string(picture->burned_subtitles) + " burned";
    } else if (picture && plan.subtitle_track) {
        line += " subtitles " + std::to_string(plan.subtitle_track->stream) + " track";
    }
    // The owner's quality step with the average it stands for ("quality normal 1200kb/s"), so
    // that another step, or the same step after its rate changed, makes another output; none
    // chosen (the row's own rate) leaves the line as before.
    if (picture && !picture->quality.empty()) {
        line += " quality " + picture->quality;
        for (const auto& [option, value] : picture->encoder.options) {
            if (option == "b") {
                line += " " + std::to_string(std::atoll(value.c_str()) / 1000) + "kb/s";
            }
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
                       picture ? codec_name(picture->codec) : std::string(),
                       picture ? picture->width : 0, picture ? picture->height : 0,
                       sound ? codec_name(sound->codec) : std::string(),
                       sound ? sound->sample_rate : 0, sound ? sound->channels : 0);
}

} // namespace morvane
