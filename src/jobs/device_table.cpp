// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_table.h"

namespace morvane {

namespace {

// What the video rows share: MPEG-4 pictures with AAC sound in an MP4, stereo; MP3 for
// sound alone. The players decode MPEG-4 up to 2.5 Mb/s.
DeviceProfile film_player(const std::string& picture, const char* name, int width, int height,
                          int bit_rate, int max_rate) {
    DeviceProfile row;
    row.image_path = picture;
    row.display_name = name;
    row.plays_video = true;
    row.screen_width = width;
    row.screen_height = height;
    row.video_codec = AV_CODEC_ID_MPEG4;
    row.video_audio_codec = AV_CODEC_ID_AAC;
    row.video_format_name = "MPEG4";
    row.video_extension = ".mp4";
    row.video_bit_rate = bit_rate;
    row.video_max_rate = max_rate;
    row.audio_codec = AV_CODEC_ID_MP3;
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
    shuffle.audio_codec = AV_CODEC_ID_MP3;
    shuffle.audio_format_name = "MP3";
    shuffle.audio_extension = ".mp3";

    DeviceProfile psp = film_player(pictures + "PSP.jpg", "Sony PSP", 368, 208, 1000000, 1000000);
    psp.channels = 2;
    psp.sample_rate = 24000;

    DeviceProfile phone =
        film_player(pictures + "iPhone.jpg", "iPhone, iPod touch", 320, 480, 2500000, 2500000);
    phone.accepts_sent_files = false;

    DeviceTable table = {
        phone,
        film_player(pictures + "iPod Nano.jpg", "iPod nano", 320, 240, 1500000, 2500000),
        film_player(pictures + "iPod Classic.jpg", "iPod classic", 320, 240, 1500000, 2500000),
        shuffle,
        psp,
    };
    return table;
}

int valid_device_index(int index, const DeviceTable& table) {
    return index >= 0 && index < static_cast<int>(table.size()) ? index : 0;
}

} // namespace morvane
