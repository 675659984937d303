// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_plan.h"
#include "jobs/device_table.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(DeviceTable, StoredIndexOutsideTheTableSelectsTheFirstRow) {
    const DeviceTable table = device_table("/x/");
    EXPECT_EQ(valid_device_index(4, table), 4);
    EXPECT_EQ(valid_device_index(5, table), 0);
    EXPECT_EQ(valid_device_index(-1, table), 0);
}

// The plan asks for the sound no faster than the row's player plays (the engine takes the
// plan's rate as it is): 96 kHz becomes 48 kHz on the iPods and the phone, in films and in
// sound alone; the PSP's sound has its own rate; a usual rate stays.
TEST(DeviceTable, PlansKeepTheSoundWithinWhatEachPlayerPlays) {
    test::TempFolder folder;
    test::MediaDescription studio_film = test::mp4_h264_aac(320, 240, {25, 1}, 0.2);
    studio_film.audio[0].sample_rate = 96000;
    test::write_media(folder.file("studio.mp4"), studio_film);
    test::write_media(folder.file("studio.wav"), test::wav_pcm(96000, 6, 0.2));
    test::write_media(folder.file("song.wav"), test::wav_pcm(44100, 2, 0.2));
    const DeviceTable table = device_table("/x/");
    struct Case {
        int row;
        const char* input;
        int rate;
    };
    for (const Case& c :
         {Case{0, "studio.mp4", 48000}, Case{1, "studio.mp4", 48000}, Case{2, "studio.mp4", 48000},
          Case{2, "studio.wav", 48000}, Case{3, "studio.wav", 48000}, Case{4, "studio.mp4", 24000},
          Case{2, "song.wav", 44100}, Case{3, "song.wav", 44100}}) {
        const DeviceProfile& device = table[static_cast<std::size_t>(c.row)];
        SCOPED_TRACE(device.display_name + " " + c.input);
        MediaInput input;
        ASSERT_EQ(input.open(folder.file(c.input).string()), std::nullopt);
        const ConversionPlan plan = conversion_plan(device, ConversionChoices{}, input);
        ASSERT_TRUE(plan.sound);
        EXPECT_EQ(plan.sound->sample_rate, c.rate);
    }
}

} // namespace
} // namespace morvane
