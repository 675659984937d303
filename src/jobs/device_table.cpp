#include "jobs/device_table.h"

namespace morvane {

void build_device_table(DeviceTable& table, const std::string& module_directory) {
    // One record reused from row to row: a field a row does not write keeps the previous
    // row's value (the audio-only player keeps the 1500000 bit rate of the row before it).
    DeviceProfile row;
    const std::string devices = module_directory + "devices/";
    row.target_channels = 2;
    row.audio_codec = AV_CODEC_ID_MP3;
    row.video_format_name = "MPEG4";
    row.video_extension = ".mp4";
    row.audio_format_name = "MP3";
    row.audio_extension = ".mp3";

    auto video_player = [&](const char* picture, const char* name, int width, int height,
                            int bit_rate) {
        row.image_path = devices + picture;
        row.display_name = name;
        row.media_kinds = KIND_VIDEO | KIND_AUDIO;
        row.screen_width = width;
        row.screen_height = height;
        row.target_bit_rate = bit_rate;
        row.video_codec = AV_CODEC_ID_MPEG4;
        row.video_audio_codec = AV_CODEC_ID_AAC;
    };

    video_player("iPhone.jpg", "iPhone, iPod touch", 320, 480, 2500000);
    table.push_back(row);
    video_player("iPod Nano.jpg", "iPod nano", 320, 240, 1500000);
    table.push_back(row);
    video_player("iPod Classic.jpg", "iPod classic", 320, 240, 1500000);
    table.push_back(row);

    row.image_path = devices + "iPod Shuffle.jpg";
    row.display_name = "iPod Shuffle";
    row.media_kinds = KIND_AUDIO;
    row.screen_width = 0;
    row.screen_height = 0;
    row.video_codec = AV_CODEC_ID_NONE;
    row.video_audio_codec = AV_CODEC_ID_NONE;
    table.push_back(row);

    video_player("PSP.jpg", "Sony PSP", 368, 208, 1000000);
    row.target_sample_rate = 24000;
    table.push_back(row);
}

int valid_device_index(int index, const DeviceTable& table) {
    return index >= 0 && index < static_cast<int>(table.size()) ? index : 0;
}

} // namespace morvane
