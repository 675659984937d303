// SPDX-License-Identifier: GPL-3.0-or-later
// The sound and subtitle tracks an input holds, as plain values, for the job to choose among:
// the engine lists them and guesses nothing about which one the owner wants.
#pragma once

#include "engine/media_input.h"

#include <string>
#include <vector>

namespace morvane {

struct InputTrack {
    enum class Kind { sound, text_subtitles, bitmap_subtitles };

    int index = -1; // the input's stream index
    Kind kind = Kind::sound;
    std::string codec; // FFmpeg's short name ("aac", "subrip", "dvd_subtitle")
    // The "language" tag as the container writes it (ISO 639-2, "fre" or "fra"); "und" or
    // empty when the file does not say.
    std::string language;
    std::string title; // the "title" tag; empty when none
    bool is_default = false;
    bool forced = false;
    bool commentary = false;
    bool descriptive = false; // described for the visually impaired
    bool hearing_impaired = false;
    // Sound only; 0 when unknown.
    int channels = 0;
    int sample_rate = 0;
};

// Every sound and subtitle stream present in `input`, in the file's order: never one the input
// set aside (declared without packets), never a cover picture.
std::vector<InputTrack> input_tracks(const MediaInput& input);

} // namespace morvane
