// SPDX-License-Identifier: GPL-3.0-or-later
// How files are converted for one target player, and how the player is shown.
#pragma once

#include "engine/conversion_plan.h"
#include "jobs/conversion_choices.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// A frame films are fitted into, landscape.
struct FilmFrame {
    int width = 0;
    int height = 0;
};

// One step of a film's picture quality the owner may choose.
struct QualityStep {
    int bit_rate = 0; // bits per second of the pictures on average
    // No quantizer finer than this (the encoder's qmin): on easy pictures, which reach it before
    // they reach the rate, a lower step then makes a smaller file too. 0: the format's own.
    int finest_quantizer = 0;
};

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
    // Each step of quality the owner may choose, in VideoQuality's order (highest, higher,
    // normal, lower), each within max_rate; none chosen keeps bit_rate and the encoder's
    // options as they are.
    std::array<QualityStep, 4> quality_steps{};
    // The frame for a television (PictureSize::tv); 0x0 where the maker publishes none larger
    // than the screen's for this codec. The Devices page offers the choice where
    // DeviceProfile::plays_tv_size(codec) and shows frame(PictureSize::tv) ("640x480").
    FilmFrame tv_frame;

    // The step of `quality`; nullptr when none is chosen or the format has no such step.
    const QualityStep* quality_step(std::optional<VideoQuality> quality) const {
        const auto step = quality ? static_cast<std::size_t>(*quality) : quality_steps.size();
        return step < quality_steps.size() && quality_steps[step].bit_rate > 0
                   ? &quality_steps[step]
                   : nullptr;
    }
    int average_rate(std::optional<VideoQuality> quality) const {
        const QualityStep* step = quality_step(quality);
        return step != nullptr ? step->bit_rate : bit_rate;
    }
    // The frame films are fitted into for `size`: the screen's where no TV frame is published.
    FilmFrame frame(PictureSize size) const {
        if (size == PictureSize::tv && tv_frame.width > 0 && tv_frame.height > 0) {
            return tv_frame;
        }
        return {frame_width, frame_height};
    }
    // The most pictures a second the player's maker publishes for this format.
    FrameRate max_frame_rate{30, 1};
};

// A sound codec a player plays as it is, within what its maker publishes: a file of sound
// alone in it is copied rather than encoded again, where it is the codec of the row's own files
// of sound alone (its audio_encoder's). A row whose sound files become AAC takes its AAC
// entry into use so.
struct PlayedSound {
    std::string codec;    // FFmpeg's name: "mp3", "aac"
    std::string profile;  // FFmpeg's name of the codec's profile ("LC"); empty: any
    int max_bit_rate = 0; // bits per second, on average
    int min_sample_rate = 0;
    int max_sample_rate = 0;
    int max_channels = 2;
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
    // Whether its video player shows a film's text subtitle tracks (MP4's tx3g, which FFmpeg
    // writes as mov_text) when the owner turns them on: a film's text subtitles then go in as
    // such a track. Elsewhere, and for subtitles that are pictures, they are burned in.
    bool shows_subtitle_tracks = false;

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
    // The sound it plays as it is (see PlayedSound).
    std::vector<PlayedSound> played_sounds;

    // False where the player's media library is closed to other programs: converted files
    // are for its own tools to add, and nothing is sent to it.
    bool accepts_sent_files = true;
    // Whether its video player shows a film's chapters: films then carry the input's.
    bool shows_chapters = false;

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
    // Whether films in `codec` (as film_format() takes it) can be made for a television.
    bool plays_tv_size(const std::string& codec) const {
        const FilmFormat* film = film_format(codec);
        return film != nullptr && film->tv_frame.width > 0;
    }
    // Whether the player offers a choice of picture codec.
    bool plays_several_video_codecs() const { return films.size() > 1; }
};

} // namespace morvane
