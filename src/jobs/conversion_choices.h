// SPDX-License-Identifier: GPL-3.0-or-later
// What the owner chose about the outputs, beside the device: the films' codec, quality and
// size, which sound and subtitles they carry, and how the picture meets the screen. A batch
// keeps the choices it started with; each goes into the output's target (output_target.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvane {

// When a film's subtitles are shown.
enum class SubtitleChoice {
    off,
    foreign, // when the sound is not in a preferred language (and forced ones always)
    always,
};

// The steps of a film's picture quality; none chosen keeps the device's own rate.
enum class VideoQuality { highest, higher, normal, lower };

// The frame films are made for: the player's screen, or a television (640x480) on the players
// that play it.
enum class PictureSize { screen, tv };

struct ConversionChoices {
    // The films' picture codec by FFmpeg's name ("mpeg4", "h264") where the device plays it;
    // elsewhere the device's first.
    std::string video_codec = "mpeg4";
    // Languages the owner understands, most preferred first (ISO 639-2 codes, "eng", "fra");
    // empty: none preferred, the file's own choice.
    std::vector<std::string> languages;
    SubtitleChoice subtitles = SubtitleChoice::foreign;
    // Black bars baked into a film's picture are cut away before it is fitted.
    bool crop = true;
    // The picture fills the screen, its sides cut, where it would be padded with black.
    bool fill = false;
    std::optional<VideoQuality> quality;
    PictureSize picture_size = PictureSize::screen;
};

} // namespace morvane
