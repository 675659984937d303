// SPDX-License-Identifier: GPL-3.0-or-later
// Sound end to end: resampling, channel changes, encoder frame sizes, track choice.
#include "conversion_fixture.h"
#include "support/decoded_audio.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"

#include <algorithm>
#include <functional>

namespace morvane::test {
namespace {

class AudioConversion : public ConversionTest {};

TEST_F(AudioConversion, SampleRateAndChannelChanges) {
    struct Case {
        int input_rate, input_channels, wanted_rate, wanted_channels;
    };
    for (const Case& c : {Case{48000, 2, 44100, 2}, Case{44100, 2, 44100, 1},
                          Case{44100, 2, 44100, 2}, Case{22050, 1, 22050, 2}}) {
        SCOPED_TRACE(testing::Message() << c.input_rate << "/" << c.input_channels << " -> "
                                        << c.wanted_rate << "/" << c.wanted_channels);
        const auto input = folder.file("tone.wav");
        write_media(input, wav_pcm(c.input_rate, c.input_channels, 2.0));
        const auto output = folder.file("tone.mp3");
        const ConversionResult result = convert(input, output, [&](const MediaInput& in) {
            return song(in, c.wanted_rate, c.wanted_channels);
        });
        ASSERT_TRUE(converted(result)) << result.reason;
        const MediaInfo info = inspect_media(output);
        ASSERT_EQ(info.streams.size(), 1u);
        const auto& audio = info.stream(AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(audio.codec_id, AV_CODEC_ID_MP3);
        EXPECT_EQ(audio.sample_rate, c.wanted_rate);
        EXPECT_EQ(audio.channels, c.wanted_channels);
        // The encoder takes whole frames from its queue: 1152 samples, 576 below 32 kHz.
        const std::int64_t frame_size = c.wanted_rate >= 32000 ? 1152 : 576;
        for (std::size_t index = 0; index + 1 < audio.packets.size(); ++index) {
            ASSERT_EQ(av_rescale_q(audio.packets[index].duration, audio.time_base,
                                   AVRational{1, c.wanted_rate}),
                      frame_size)
                << "packet " << index;
        }
        const DecodedAudio sound = decode_audio(output);
        EXPECT_NEAR(sound.seconds(), 2.0, 0.1);
        EXPECT_NEAR(sound.tone_frequency(0), 440.0, 5.0);
        std::filesystem::remove(output);
    }
}

TEST_F(AudioConversion, UnusualSourcesGetTheShapeThePlayersTake) {
    MediaDescription studio_video = mp4_h264_aac(320, 240, {25, 1}, 1.0);
    studio_video.audio[0].sample_rate = 96000;
    studio_video.audio[0].channels = 6;
    const auto video_input = folder.file("studio.mp4");
    write_media(video_input, studio_video);
    const auto sound_input = folder.file("studio.wav");
    write_media(sound_input, wav_pcm(96000, 6, 1.0));
    // Two tracks of different shape: the first is converted, with its own shape.
    MediaDescription two_tracks = mp4_two_audio_tracks(1.0);
    two_tracks.audio[0].sample_rate = 48000;
    two_tracks.audio[1].sample_rate = 22050;
    two_tracks.audio[1].channels = 1;
    const auto tracks_input = folder.file("two-tracks.mp4");
    write_media(tracks_input, two_tracks);

    struct Case {
        const char* name;
        std::filesystem::path input;
        const char* output_name;
        bool video_row;
        AVCodecID codec;
        int rate, channels;
        double tone_hz;
        int asked_rate = 0; // the plan's rate instead of the row's
    };
    for (const Case& c : {
             // The iPods' AAC stops at 48 kHz stereo.
             Case{"96 kHz 5.1 on a video row", video_input, "out.mp4", true, AV_CODEC_ID_AAC, 48000,
                  2, 440.0},
             // The engine takes the plan's rate as it is where the encoder has it, else the
             // nearest it has (MP3 goes no higher than 48 kHz): the limits are the plan's.
             Case{"96 kHz asked of AAC", video_input, "out.mp4", true, AV_CODEC_ID_AAC, 96000, 2,
                  440.0, 96000},
             Case{"96 kHz 5.1 on the Shuffle row", sound_input, "out.mp3", false, AV_CODEC_ID_MP3,
                  48000, 2, 440.0},
             Case{"first of two tracks", tracks_input, "out.mp4", true, AV_CODEC_ID_AAC, 48000, 2,
                  440.0},
             Case{"first of two tracks, sound only", tracks_input, "out.mp3", false,
                  AV_CODEC_ID_MP3, 48000, 2, 440.0},
         }) {
        SCOPED_TRACE(c.name);
        const auto output = folder.file(c.output_name);
        const ConversionResult result = convert(c.input, output, [&](const MediaInput& in) {
            ConversionPlan plan = c.video_row ? film(in) : song(in);
            if (c.asked_rate > 0) {
                plan.sound->sample_rate = c.asked_rate;
            }
            return plan;
        });
        ASSERT_TRUE(converted(result)) << result.reason;
        const MediaInfo info = inspect_media(output);
        ASSERT_EQ(info.count(AVMEDIA_TYPE_AUDIO), 1);
        const auto& audio = info.stream(AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(audio.codec_id, c.codec);
        EXPECT_EQ(audio.sample_rate, c.rate);
        EXPECT_EQ(audio.channels, c.channels);
        const DecodedAudio sound = decode_audio(output);
        EXPECT_NEAR(sound.seconds(), 1.0, 0.1);
        EXPECT_NEAR(sound.tone_frequency(0), c.tone_hz, 5.0);
        std::filesystem::remove(output);
    }
}

TEST_F(AudioConversion, TagsAndCoverArtTravelButNeverAsVideo) {
    const std::vector<std::pair<std::string, std::string>> tags = {{"title", "Morning"},
                                                                   {"artist", "The Testers"},
                                                                   {"album", "Samples"},
                                                                   {"album_artist", "Various"},
                                                                   {"track", "3"},
                                                                   {"disc", "1"},
                                                                   {"date", "2024"},
                                                                   {"genre", "Jazz"},
                                                                   {"comment", "made for a test"}};
    MediaDescription covered_sound = mp3_with_cover_art(1.0);
    covered_sound.tags = tags;
    const auto covered_mp3 = folder.file("covered.mp3");
    write_media(covered_mp3, covered_sound);
    MediaDescription covered_video = mp4_h264_aac(320, 240, {25, 1}, 1.0);
    covered_video.cover_art = MediaDescription::CoverArt{};
    covered_video.cover_art->codec = AV_CODEC_ID_MJPEG;
    covered_video.tags = tags;
    const auto covered_mp4 = folder.file("covered.mp4");
    write_media(covered_mp4, covered_video);
    const auto plain_clip = folder.file("clip.mp4");
    write_media(plain_clip, mp4_h264_aac(320, 240, {25, 1}, 1.0));

    struct Case {
        const char* name;
        std::filesystem::path input;
        const char* output_name;
        PlanOf plan_of;
        bool has_cover;
    };
    const PlanOf shuffle = [](const MediaInput& in) { return song(in); };
    const PlanOf sound_on_video_row = [](const MediaInput& in) { return song(in, 0, 2); };
    const PlanOf video_row = [](const MediaInput& in) { return film(in); };
    for (const Case& c : {
             Case{"Shuffle row", covered_mp3, "out.mp3", shuffle, true},
             Case{"sound-only file on a video row", covered_mp3, "out.mp3", sound_on_video_row,
                  true},
             Case{"video row", covered_mp4, "out.mp4", video_row, true},
             Case{"video clip on the Shuffle row", plain_clip, "out.mp3", shuffle, false},
             Case{"real cover",
                  std::filesystem::path(MORVANE_TEST_DATA_DIR) / "fixture-bad-offset.mp3",
                  "out.mp3", shuffle, true},
         }) {
        SCOPED_TRACE(c.name);
        const auto output = folder.file(c.output_name);
        const ConversionResult result = convert(c.input, output, c.plan_of);
        ASSERT_TRUE(converted(result)) << result.reason;
        const MediaInfo in = inspect_media(c.input);
        const MediaInfo out = inspect_media(output);
        // Moving video only where the input has it and the row plays it.
        EXPECT_EQ(out.count(AVMEDIA_TYPE_VIDEO), std::string(c.output_name) == "out.mp4" ? 1 : 0);
        EXPECT_EQ(out.count(AVMEDIA_TYPE_AUDIO), 1);
        if (c.has_cover) {
            // Copied as it was, not coded again.
            const auto& source_cover = in.attached_picture();
            const auto& cover = out.attached_picture();
            EXPECT_EQ(cover.codec_id, source_cover.codec_id);
            ASSERT_EQ(cover.packets.size(), 1u);
            EXPECT_EQ(cover.packets[0].size, source_cover.packets[0].size);
        } else {
            EXPECT_THROW(out.attached_picture(), std::out_of_range);
        }
        for (const auto& [key, value] : in.tags) {
            if (std::find_if(tags.begin(), tags.end(),
                             [&](const auto& tag) { return tag.first == key; }) != tags.end()) {
                EXPECT_EQ(out.tags.count(key) ? out.tags.at(key) : "", value) << key;
            }
        }
        if (c.input != plain_clip && c.name != std::string("real cover")) {
            EXPECT_EQ(in.tags.size() >= tags.size(), true);
        }
        std::filesystem::remove(output);
    }
}

} // namespace
} // namespace morvane::test
