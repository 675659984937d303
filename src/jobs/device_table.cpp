// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_table.h"

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

namespace {

// Apple names MPEG-4 "Simple Profile" for all its film players, up to 2.5 Mb/s and 640x480 at
// 30 frames per second, with AAC-LC up to 160 kb/s, 48 kHz stereo, in .mp4 (the iPod, iPod
// nano, iPod classic and iPhone technical specifications). The header keeps level 1, as every
// MPEG-4 file FFmpeg has made for these players for years: Apple names no level, and nothing
// shows that a player accepts a higher one.
FilmFormat mpeg4_film(int width, int height, int bit_rate, int max_rate) {
    FilmFormat film;
    film.codec = "mpeg4";
    film.format_name = "MPEG4";
    film.container = "mp4";
    film.frame_width = width;
    film.frame_height = height;
    film.encoder.name = "mpeg4";
    film.encoder.options = {
        {"profile", std::to_string(FF_PROFILE_MPEG4_SIMPLE)},
        {"level", "1"},
        {"bf", "0"}, // Simple Profile has no B-frames
        // The encoder has a thread of its own beside the decoding (the pictures' filter
        // thread); slices on more threads only cost at the players' small sizes (measured with
        // bench/compare-ffmpeg: 4 % more wall time with three).
        {"threads", "1"},
    };
    film.bit_rate = bit_rate;
    film.max_rate = max_rate;
    return film;
}

// What the video rows share: AAC sound in an MP4, stereo; MP3 for sound alone.
DeviceProfile film_player(const std::string& picture, const char* name, int width, int height,
                          std::vector<FilmFormat> films) {
    DeviceProfile row;
    row.image_path = picture;
    row.display_name = name;
    row.plays_video = true;
    row.screen_width = width;
    row.screen_height = height;
    row.films = std::move(films);
    // AAC-LC at 128 kb/s: within the 160 kb/s every one of these players takes.
    row.film_sound = {"aac", {{"b", "128000"}}};
    row.video_extension = ".mp4";
    row.audio_container = "mp3";
    // LAME's own choice: 128 kb/s at 44.1 or 48 kHz stereo, less for smaller shapes.
    row.audio_encoder = {"libmp3lame", {}};
    row.channels = 2;
    row.audio_format_name = "MP3";
    row.audio_extension = ".mp3";
    return row;
}

} // namespace

DeviceTable device_table(const std::string& data_folder) {
    const std::string pictures = data_folder + "devices/";
    DeviceProfile shuffle;
    shuffle.image_path = pictures + "iPod Shuffle.jpg";
    shuffle.display_name = "iPod Shuffle";
    // The source's channels and rate are kept: the player takes what the file has.
    shuffle.audio_container = "mp3";
    shuffle.audio_encoder = {"libmp3lame", {}};
    shuffle.audio_format_name = "MP3";
    shuffle.audio_extension = ".mp3";

    DeviceProfile psp = film_player(pictures + "PSP.jpg", "Sony PSP", 368, 208,
                                    {mpeg4_film(368, 208, 1000000, 1000000)});
    psp.channels = 2;
    psp.sample_rate = 24000;

    DeviceProfile phone = film_player(pictures + "iPhone.jpg", "iPhone, iPod touch", 320, 480,
                                      {mpeg4_film(480, 320, 2500000, 2500000)});
    phone.accepts_sent_files = false;

    DeviceTable table = {
        phone,
        film_player(pictures + "iPod Nano.jpg", "iPod nano", 320, 240,
                    {mpeg4_film(320, 240, 1500000, 2500000)}),
        film_player(pictures + "iPod Classic.jpg", "iPod classic", 320, 240,
                    {mpeg4_film(320, 240, 1500000, 2500000)}),
        shuffle,
        psp,
    };
    return table;
}

int valid_device_index(int index, const DeviceTable& table) {
    return index >= 0 && index < static_cast<int>(table.size()) ? index : 0;
}

} // namespace morvane
