// SPDX-License-Identifier: GPL-3.0-or-later
// What one conversion makes: the container, the output's streams and how each is encoded,
// all by FFmpeg's own names. The job builds one per file from the device's row and what the
// input holds; the engine only applies it, and nothing of it outlives the file.
#pragma once

#include "engine/frame_rate.h"
#include "engine/picture_crop.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

// An FFmpeg encoder by name ("mpeg4", "libx264", "aac", "libmp3lame") with the options it is
// opened with, as FFmpeg names them ("b", "maxrate", "bufsize", "g", "profile", "preset",
// "threads", ...): the encoder's own or libavcodec's common ones. An option the encoder does
// not know fails the conversion rather than being passed over.
struct NamedEncoder {
    std::string name;
    std::vector<std::pair<std::string, std::string>> options;
};

// Moving pictures, the input's fitted into a frame between black borders.
struct PictureSpec {
    NamedEncoder encoder;
    int frame_width = 0; // the encoded frame, borders included
    int frame_height = 0;
    int picture_width = 0; // the input's picture, scaled, inside the borders
    int picture_height = 0;
    int left = 0; // the borders left of and above the picture
    int top = 0;
    FrameRate frame_rate{30000, 1001};
    // The owner's step of picture quality as outputs' targets name it ("highest", "higher",
    // "normal", "lower"); empty: the device's own rate. The encoder's options carry its rate.
    std::string quality;
    // The part of the stored picture that is fitted (bars or sides cut away first); none:
    // the whole picture.
    std::optional<PictureCrop> crop;
    // The input's subtitle stream burned into the picture (its stream index; -1: none), and
    // the height of a line of its text on the output picture, in pixels.
    int burned_subtitles = -1;
    int subtitle_text_height = 0;
};

// The input's text subtitles kept as a track the player turns on: decoded and encoded again
// ("mov_text" in an MP4), with their language tag.
struct SubtitleTrackSpec {
    NamedEncoder encoder;
    int stream = -1; // the input's subtitle stream
};

struct SoundSpec {
    NamedEncoder encoder;
    // As asked, or the nearest the encoder supports; the device's limits are the plan's own.
    int sample_rate = 44100;
    int channels = 2;
    // The input has no sound: silence as long as the pictures.
    bool silence = false;
    // Measure how loud the sound is (EBU R 128), for a player's volume levelling.
    bool measure_loudness = false;
    // The input's sound stream to convert, chosen by the job among several, and the language
    // the output's track is marked with (ISO 639-2; empty: the stream's own tag). -1: the
    // engine's own choice, as for a file with one sound.
    int stream = -1;
    std::string language;
    // The input's sound already plays as it is: its packets are copied into the container
    // unchanged (the encoder, rate and channels above are not used), and the whole stream is
    // decoded beside them so that damage is found rather than copied. Only without pictures.
    bool copy = false;
};

// A second sound track from another of the input's streams (another language), encoded as the
// plan's sound and written after it, not marked default: for players that switch sound tracks.
struct AlternateSoundSpec {
    int stream = -1;
    std::string language; // as SoundSpec's
};

struct ConversionPlan {
    using Picture = PictureSpec;
    using Sound = SoundSpec;

    // The FFmpeg muxer that writes the file ("mp4", "ipod", "psp", "mp3"); never guessed from
    // the file's name.
    std::string container;
    std::optional<Picture> picture; // none: no moving pictures in the output
    std::optional<Sound> sound;     // none: no sound
    // Only beside a sound that is not silence.
    std::optional<AlternateSoundSpec> alternate_sound;
    std::optional<SubtitleTrackSpec> subtitle_track; // only beside a picture
    // Microseconds of the input's timeline to convert; 0: all of it.
    std::int64_t time_limit = 0;
    // A film carries the input's chapters (titles kept, on its own timeline).
    bool chapters = false;
};

} // namespace morvane
