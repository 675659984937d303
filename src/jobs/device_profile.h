// SPDX-License-Identifier: GPL-3.0-or-later
// How files are converted for one target player, and how the player is shown.
#pragma once

#include "engine/conversion_plan.h"

#include <optional>
#include <string>
#include <vector>

namespace morvane {

// What a film becomes for a player in one picture codec it decodes: the container, the
// frame, the picture encoder with the options the player needs, and the rates.
struct FilmFormat {
    std::string codec;       // FFmpeg's name of the picture codec: "mpeg4", "h264"
    std::string format_name; // as people know it: "MPEG4", "H.264"
    std::string container;   // the FFmpeg muxer
    // The frame films are fitted into, landscape (as films are watched).
    int frame_width = 0;
    int frame_height = 0;
    // The encoder and the options particular to this player (profile, level, reference
    // frames, B-frames, speed); the rates and keyframes are added from the numbers below.
    NamedEncoder encoder;
    // Bits per second of the pictures on average, and the player's published maximum, which
    // no second of a film may go beyond by more than a tenth.
    int bit_rate = 0;
    int max_rate = 0;
};

struct DeviceProfile {
    std::string image_path; // absolute path of the device's picture
    std::string display_name;

    // Players of films get an MP4 of a file with moving pictures; every player gets an MP3 of
    // a file of sound alone. A player without a screen gets MP3s only.
    bool plays_video = false;
    int screen_width = 0; // as the screen is described (portrait or landscape)
    int screen_height = 0;
    // The picture codecs it plays; films get the first unless another is chosen.
    std::vector<FilmFormat> films;
    NamedEncoder film_sound;
    std::string video_extension; // with its dot
    // Whether its video player offers a film's other sound tracks (a menu of languages): a
    // film then carries a second track in the owner's second language. False where the maker
    // publishes no such menu.
    bool switches_sound_tracks = false;

    // Files of sound alone.
    std::string audio_container; // the FFmpeg muxer
    NamedEncoder audio_encoder;
    std::optional<int> channels;    // none keeps the source's
    std::optional<int> sample_rate; // none keeps the source's
    // The highest rate of sound the player plays, in films and files of sound alone: a source
    // above it is brought down to it. 0: none published.
    int max_sample_rate = 0;
    std::string audio_format_name;
    std::string audio_extension;

    // False where the player's media library is closed to other programs: converted files
    // are for its own tools to add, and nothing is sent to it.
    bool accepts_sent_files = true;

    // The film format of `codec`; the first when the player has no such codec; nullptr when it
    // plays no films.
    const FilmFormat* film_format(const std::string& codec) const {
        for (const FilmFormat& film : films) {
            if (film.codec == codec) {
                return &film;
            }
        }
        return films.empty() ? nullptr : &films.front();
    }
    // Whether the player offers a choice of picture codec.
    bool plays_several_video_codecs() const { return films.size() > 1; }
};

} // namespace morvane
