#include "jobs/device_table.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(DeviceTable, FiveRowsInTheirStoredOrder) {
    DeviceTable table;
    build_device_table(table, "/opt/morvane/");
    ASSERT_EQ(table.size(), 5u);
    const char* names[] = {"iPhone, iPod touch", "iPod nano", "iPod classic", "iPod Shuffle",
                           "Sony PSP"};
    const char* pictures[] = {"iPhone.jpg", "iPod Nano.jpg", "iPod Classic.jpg", "iPod Shuffle.jpg",
                              "PSP.jpg"};
    for (std::size_t row = 0; row < table.size(); ++row) {
        EXPECT_EQ(table[row].display_name, names[row]);
        EXPECT_EQ(table[row].image_path, std::string("/opt/morvane/devices/") + pictures[row]);
        EXPECT_EQ(table[row].video_extension, ".mp4");
        EXPECT_EQ(table[row].audio_extension, ".mp3");
        EXPECT_EQ(table[row].audio_codec, AV_CODEC_ID_MP3);
        EXPECT_EQ(table[row].target_channels, 2);
    }
}

TEST(DeviceTable, RowsCarryTheirDeviceValues) {
    DeviceTable table;
    build_device_table(table, "/x/");
    // Portrait as the phone's screen is described; the conversion puts the larger first.
    EXPECT_EQ(table[0].screen_width, 320);
    EXPECT_EQ(table[0].screen_height, 480);
    EXPECT_EQ(table[0].target_bit_rate, 2500000);
    EXPECT_EQ(table[0].video_codec, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(table[0].video_audio_codec, AV_CODEC_ID_AAC);

    // The audio-only player keeps the bit rate of the row before it.
    const DeviceProfile& shuffle = table[3];
    EXPECT_EQ(shuffle.media_kinds, KIND_AUDIO);
    EXPECT_EQ(shuffle.screen_width, 0);
    EXPECT_EQ(shuffle.screen_height, 0);
    EXPECT_EQ(shuffle.video_codec, AV_CODEC_ID_NONE);
    EXPECT_EQ(shuffle.target_bit_rate, 1500000);

    // Only the handheld changes the sample rate.
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(table[static_cast<std::size_t>(row)].target_sample_rate, -1) << row;
    }
    EXPECT_EQ(table[4].target_sample_rate, 24000);
    EXPECT_EQ(table[4].screen_width, 368);
    EXPECT_EQ(table[4].screen_height, 208);
    EXPECT_EQ(table[4].target_bit_rate, 1000000);
}

TEST(DeviceTable, StoredIndexOutsideTheTableSelectsTheFirstRow) {
    DeviceTable table;
    build_device_table(table, "/x/");
    EXPECT_EQ(valid_device_index(4, table), 4);
    EXPECT_EQ(valid_device_index(5, table), 0);
    EXPECT_EQ(valid_device_index(-1, table), 0);
}

} // namespace
} // namespace morvane
