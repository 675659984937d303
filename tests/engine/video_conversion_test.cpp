// SPDX-License-Identifier: GPL-3.0-or-later
// Video jobs end to end: real files in, real files out, read back and decoded.
#include "conversion_fixture.h"
#include "support/colour_bars.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_marks.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/yuv_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <tuple>

namespace morvane::test {
namespace {

class VideoConversion : public ConversionTest {};

TEST_F(VideoConversion, NanoJobFitsA720pClipIntoTheScreenWithBlackBands) {
    MediaDescription description = mp4_h264_aac(1280, 720, {25, 1}, 4.0);
    description.video->sample_aspect_ratio = {1, 1};
    description.audio[0].sample_rate = 48000;
    const auto input = folder.file("clip.mp4");
    write_media(input, description);
    const auto output = folder.file("clip-nano.mp4");

    ASSERT_TRUE(converts(input, output, nano_film));

    const MediaInfo info = inspect_media(output);
    ASSERT_EQ(info.streams.size(), 2u);
    const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.index, 0);
    EXPECT_EQ(video.codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    EXPECT_EQ(video.pixel_format, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{30000, 1001}), 0);
    EXPECT_EQ(av_cmp_q(video.sample_aspect_ratio, AVRational{1, 1}), 0);
    EXPECT_TRUE(video.dts_strictly_increasing());
    const auto& audio = info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio.codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(audio.sample_rate, 48000);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_TRUE(audio.dts_strictly_increasing());

    // 25 to 29.97 pictures per second: one picture in five is shown twice, none is dropped.
    const double pictures_per_input_picture = static_cast<double>(video.packets.size()) / 100.0;
    EXPECT_NEAR(pictures_per_input_picture, 1.2, 0.03);
    EXPECT_NEAR(video.packet_span_seconds(), 4.0, 0.1);
    // Both streams follow the input's clock: they end within one audio frame of each other.
    EXPECT_NEAR(video.end_seconds(), audio.end_seconds(), 1024.0 / 48000);

    const YuvPicture picture = decode_middle_video_frame(output);
    // 1280x720 becomes 320x180 in rows 30 to 209; compression blurs the block rows at the
    // edges, so the check keeps clear of them.
    EXPECT_TRUE(picture.area_is(0, 0, 320, 24, kBlack, 6));
    EXPECT_TRUE(picture.area_is(0, 216, 320, 240, kBlack, 6));
    for (int bar = 0; bar < kBarCount; ++bar) {
        const int x = bar_centre(bar, 320);
        EXPECT_LT(colour_distance(picture.pixel(x, 120), bar_colour(bar)), 24) << "bar " << bar;
    }
}

TEST_F(VideoConversion, EveryFlashStaysWithItsBeep) {
    struct Case {
        const char* name;
        AVRational rate;
        bool variable;
    };
    for (const Case& c : {Case{"23.976", {24000, 1001}, false}, Case{"25", {25, 1}, false},
                          Case{"29.97", {30000, 1001}, false}, Case{"50", {50, 1}, false},
                          Case{"59.94", {60000, 1001}, false}, Case{"variable", {25, 1}, true}}) {
        SCOPED_TRACE(c.name);
        MediaDescription description = mp4_h264_aac(320, 240, c.rate, 6.0);
        description.video->pattern = MediaDescription::Video::Pattern::flash;
        description.video->variable_frame_rate = c.variable;
        description.audio[0].beeps = true;
        description.audio[0].sample_rate = 48000;
        const auto input = folder.file("sync.mp4");
        write_media(input, description);
        const auto output = folder.file("sync-out.mp4");
        ASSERT_TRUE(converts(input, output, nano_film));

        const std::vector<double> flashes = flash_times(output);
        const std::vector<double> beeps = beep_times(output);
        ASSERT_EQ(flashes.size(), 5u);
        ASSERT_EQ(beeps.size(), 5u);
        for (std::size_t index = 0; index < flashes.size(); ++index) {
            // Half a frame at 29.97 is 16.7 ms; the beep's first loud sample comes a little
            // after its start.
            EXPECT_NEAR(flashes[index], beeps[index], 0.020) << "flash " << index + 1;
        }
        std::filesystem::remove(output);
    }
}

TEST_F(VideoConversion, PictureRateFollowsTheInputClock) {
    struct Case {
        AVRational input_rate;
        double expected_ratio; // output pictures per input picture
    };
    for (const Case& c : {Case{{60, 1}, 0.5}, Case{{30000, 1001}, 1.0}}) {
        SCOPED_TRACE(c.input_rate.num);
        const auto input = folder.file("rate.mp4");
        write_media(input, mp4_h264_aac(320, 240, c.input_rate, 2.0));
        const auto output = folder.file("rate-out.mp4");
        ASSERT_TRUE(converts(input, output, nano_film));
        const MediaInfo in = inspect_media(input);
        const MediaInfo out = inspect_media(output);
        const double ratio = static_cast<double>(out.stream(AVMEDIA_TYPE_VIDEO).packets.size()) /
                             static_cast<double>(in.stream(AVMEDIA_TYPE_VIDEO).packets.size());
        EXPECT_NEAR(ratio, c.expected_ratio, 0.03);
        EXPECT_TRUE(out.stream(AVMEDIA_TYPE_VIDEO).dts_strictly_increasing());
        std::filesystem::remove(output);
    }
}

TEST_F(VideoConversion, PictureIsShownUprightWithSquarePixelsBetweenBands) {
    struct Case {
        const char* name;
        int width, height;
        AVRational pixel_shape;
        int clockwise_turn;
        // Where the picture lands on the 320x240 screen.
        int left, top, right, bottom;
    };
    for (const Case& c : {
             // Smaller than the screen: only widened to its shape and banded.
             Case{"qcif 12:11", 176, 144, {12, 11}, 0, 64, 48, 256, 192},
             // Anamorphic 16:9: 720x480 with 32:27 pixels.
             Case{"anamorphic", 720, 480, {32, 27}, 0, 0, 30, 320, 210},
             // A phone held upright: stored landscape, shown portrait between side bands.
             Case{"turned", 320, 240, {1, 1}, 90, 70, 0, 250, 240},
         }) {
        SCOPED_TRACE(c.name);
        MediaDescription description = mp4_h264_aac(c.width, c.height, {25, 1}, 1.0);
        description.video->sample_aspect_ratio = c.pixel_shape;
        description.video->clockwise_turn = c.clockwise_turn;
        const auto input = folder.file("shape.mp4");
        write_media(input, description);
        const auto output = folder.file("shape-out.mp4");
        ASSERT_TRUE(converts(input, output, nano_film));

        const MediaInfo info = inspect_media(output);
        const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.height, 240);
        EXPECT_EQ(av_cmp_q(video.sample_aspect_ratio, AVRational{1, 1}), 0);
        const YuvPicture picture = decode_middle_video_frame(output);
        // The bands, clear of the blur at their edges.
        if (c.left > 0) {
            EXPECT_TRUE(picture.area_is(0, 0, c.left - 8, 240, kBlack, 6));
            EXPECT_TRUE(picture.area_is(c.right + 8, 0, 320, 240, kBlack, 6));
        }
        if (c.top > 0) {
            EXPECT_TRUE(picture.area_is(0, 0, 320, c.top - 8, kBlack, 6));
            EXPECT_TRUE(picture.area_is(0, c.bottom + 8, 320, 240, kBlack, 6));
        }
        // The bars run left to right when upright; turned clockwise, the stored picture's
        // left edge is the top.
        const int shown_width = c.right - c.left;
        const int shown_height = c.bottom - c.top;
        for (int bar = 0; bar < kBarCount; ++bar) {
            const bool turned = c.clockwise_turn == 90;
            const int x = turned ? c.left + shown_width / 2 : c.left + bar_centre(bar, shown_width);
            const int y = turned ? c.top + bar_centre(bar, shown_height) : c.top + shown_height / 2;
            EXPECT_LT(colour_distance(picture.pixel(x, y), bar_colour(bar)), 24) << "bar " << bar;
        }
        std::filesystem::remove(output);
    }
}

// A bar that moves between the fields: woven, its edges comb from row to row. Pictures are
// deinterlaced whatever says they are interlaced: the stream's header, only the pictures'
// own flags (DV), or the pictures of a broadcast that turns interlaced midway.
TEST_F(VideoConversion, InterlacedPicturesAreDeinterlacedWhateverSaysSo) {
    // How much each row of the picture at `seconds` differs from the mean of its neighbours:
    // large where fields comb.
    const auto combing = [](const std::filesystem::path& path, double seconds) {
        const MediaInfo info = inspect_media(path);
        const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
        const auto shown_by =
            std::find_if(video.packets.begin(), video.packets.end(), [&](auto& p) {
                return static_cast<double>(p.pts) * av_q2d(video.time_base) >= seconds;
            });
        const YuvPicture picture =
            decode_video_frame(path, static_cast<int>(shown_by - video.packets.begin()));
        double sum = 0;
        for (int y = 1; y + 1 < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                sum += std::abs(picture.pixel(x, y).y -
                                (picture.pixel(x, y - 1).y + picture.pixel(x, y + 1).y) / 2.0);
            }
        }
        return sum / (picture.width() * (picture.height() - 2));
    };
    MediaDescription stated = mpeg_ps_mpeg2_mp2(320, 240, {25, 1}, 1.0);
    stated.format_name = "mpegts";
    stated.video->pattern = MediaDescription::Video::Pattern::moving_bar;
    const auto stated_ts = folder.file("stated.ts");
    write_media(stated_ts, stated);
    const auto dv = folder.file("camcorder.avi");
    write_media(dv, dv_film(1.0));
    // Two seconds of progressive bars, then two of fields, in one stream.
    MediaDescription progressive = mpeg_ps_mpeg2_mp2(320, 240, {25, 1}, 2.0);
    progressive.format_name = "mpegts";
    MediaDescription fields = stated;
    fields.video->duration_seconds = fields.audio[0].duration_seconds = 2.0;
    fields.start_seconds = 2.0;
    write_media(folder.file("first.ts"), progressive);
    write_media(folder.file("second.ts"), fields);
    const auto midway = folder.file("midway.ts");
    join_files({folder.file("first.ts"), folder.file("second.ts")}, midway);

    // DV keeps its 576 rows (the picture as shown is 768x576), so that no scaling blends its
    // fields.
    for (const auto& [name, input, seconds, width, height] :
         {std::tuple{"stated", stated_ts, 0.5, 320, 240}, std::tuple{"DV", dv, 0.5, 768, 576},
          std::tuple{"midway", midway, 3.0, 320, 240}}) {
        SCOPED_TRACE(name);
        const auto output = folder.file("fields-out.mp4");
        ASSERT_TRUE(converts(input, output, [width = width, height = height](const MediaInput& in) {
            return film(in, width, height);
        }));
        EXPECT_GT(combing(input, seconds), 4.0);
        EXPECT_LT(combing(output, seconds), 1.0);
        std::filesystem::remove(output);
    }
}

// Odd, very thin and very flat pictures still fill the screen (the thin ones keep a line).
TEST_F(VideoConversion, OddThinAndFlatPicturesStillFillTheScreen) {
    for (const auto& [width, height] : {std::pair{175, 143}, {8, 2000}, {2, 2000}, {4000, 2}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const auto input = folder.file("odd.mp4");
        write_media(input, mp4_h264_aac(width, height, {25, 1}, 0.2));
        const auto output = folder.file("odd-out.mp4");
        ASSERT_TRUE(converts(input, output, nano_film));
        const MediaInfo video_info = inspect_media(output);
        const auto& video = video_info.stream(AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.height, 240);
        EXPECT_GT(video.packets.size(), 3u);
    }
}

TEST_F(VideoConversion, TimestampJumpIsAbsorbed) {
    const auto input = folder.file("jump.ts");
    write_media(input, ts_with_timestamp_jump(20.0, 2.0));
    const auto output = folder.file("jump-out.mp4");
    ASSERT_TRUE(converts(input, output, nano_film));
    const MediaInfo info = inspect_media(output);
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
        const auto& stream = info.stream(type);
        EXPECT_LT(stream.packet_span_seconds(), 2.5) << av_get_media_type_string(type);
        EXPECT_LT(stream.largest_dts_step_seconds(), 0.2) << av_get_media_type_string(type);
    }
}

// Recordings as a television owner has them: a recorder's split files joined end to end (each
// part's stamps start again, whatever its sound), one packet stamped far ahead, sound that
// starts a second late in a big transport stream. Every flash and beep stays where the
// recording has it, read as a player reads them, the film is as long as the recording, and the
// result names what was mended.
TEST_F(VideoConversion, BroadcastRecordingsKeepEveryMarkInPlace) {
    constexpr double frame = 1001.0 / 30000; // one picture of the output
    struct Case {
        const char* name;
        AVCodecID picture, sound;
        int channels;
        int second_part_channels; // 0: one recording, not joined
        const char* format;
        AVMediaType stamped; // one packet of this kind stamped `ahead` seconds late, at 6 s
        double ahead;
        double sound_late; // seconds; in a 1080 picture at 15 Mb/s
    };
    const auto none = AVMEDIA_TYPE_UNKNOWN;
    const auto mpeg2 = AV_CODEC_ID_MPEG2VIDEO, h264 = AV_CODEC_ID_H264;
    const auto ac3 = AV_CODEC_ID_AC3, mp2 = AV_CODEC_ID_MP2, aac = AV_CODEC_ID_AAC;
    const auto picture = AVMEDIA_TYPE_VIDEO, sound = AVMEDIA_TYPE_AUDIO;
    for (const Case& c : {
             Case{"joined, AC-3", mpeg2, ac3, 2, 2, "mpegts", none, 0, 0},
             Case{"joined, MP2", mpeg2, mp2, 2, 2, "mpegts", none, 0, 0},
             Case{"joined, AAC", h264, aac, 2, 2, "mpegts", none, 0, 0},
             Case{"joined, stereo after 5.1", mpeg2, ac3, 6, 2, "mpegts", none, 0, 0},
             Case{"joined, H.264 and AC-3", h264, ac3, 2, 2, "mpegts", none, 0, 0},
             Case{"TS picture 1 h ahead", mpeg2, ac3, 2, 0, "mpegts", picture, 3600, 0},
             Case{"TS sound 1 h ahead", mpeg2, ac3, 2, 0, "mpegts", sound, 3600, 0},
             Case{"TS picture 10 min ahead", mpeg2, ac3, 2, 0, "mpegts", picture, 600, 0},
             Case{"TS sound 10 min ahead", mpeg2, mp2, 2, 0, "mpegts", sound, 600, 0},
             Case{"MKV picture 1 h 10 min ahead", h264, aac, 2, 0, "matroska", picture, 4200, 0},
             Case{"MKV sound 1 h 10 min ahead", h264, aac, 2, 0, "matroska", sound, 4200, 0},
             Case{"sound 1.07 s late, 15 Mb/s 1080", mpeg2, ac3, 2, 0, "mpegts", none, 0, 1.07},
         }) {
        SCOPED_TRACE(c.name);
        const bool joined = c.second_part_channels > 0;
        const double seconds = joined ? 5.0 : 12.0;
        const auto part = [&](int channels) {
            MediaDescription description = ts_broadcast(c.picture, c.sound, channels, seconds);
            description.format_name = c.format;
            if (c.sound_late > 0) {
                description.video->width = 1920;
                description.video->height = 1080;
                description.video->bit_rate = 15000000;
                description.audio[0].gap_to_seconds = c.sound_late;
            }
            if (c.stamped != none && std::string(c.format) != "mpegts") {
                description.stamped_ahead = {{c.stamped, 6.0, c.ahead}};
            }
            return description;
        };
        const auto input = folder.file(std::string("recording.") + c.format);
        write_media(input, part(c.channels));
        if (joined) {
            const auto second = folder.file("second.ts");
            write_media(second, part(c.second_part_channels));
            const auto first = folder.file("first.ts");
            std::filesystem::rename(input, first);
            join_files({first, second}, input);
        } else if (c.stamped != none && std::string(c.format) == "mpegts") {
            stamp_ts_pes_later(input, c.stamped, 6.0, c.ahead);
        }
        const auto output = folder.file("recording-out.mp4");
        const ConversionResult result = convert(input, output, nano_film);
        ASSERT_EQ(result.status, ConversionResult::Status::converted) << result.reason;
        EXPECT_EQ(result.restarts, joined ? 1 : 0);
        EXPECT_EQ(result.ignored_picture_stamps.count, c.stamped == picture ? 1 : 0);
        EXPECT_EQ(result.ignored_sound_stamps.count, c.stamped == sound ? 1 : 0);
        if (c.stamped != none) {
            const ConversionResult::IgnoredStamps& ignored =
                c.stamped == picture ? result.ignored_picture_stamps : result.ignored_sound_stamps;
            EXPECT_NEAR(ignored.largest_offset, c.ahead, 1.0);
        }

        const double length = joined ? 2 * seconds : seconds;
        const MediaInfo info = inspect_media(output);
        EXPECT_NEAR(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), length, 0.1);
        EXPECT_NEAR(info.stream(AVMEDIA_TYPE_AUDIO).end_seconds(), length, 0.1);
        // Each part flashes and beeps on its own whole seconds from 1 s; the second part goes
        // on where the first one's tracks end (its sound frames may end a little later).
        std::vector<double> expected;
        for (int each = 0; each < (joined ? 2 : 1); ++each) {
            for (int second = 1; second < seconds; ++second) {
                expected.push_back(each * seconds + second);
            }
        }
        const std::vector<double> flashes = flash_times(output);
        std::vector<double> beeps = beep_times(output);
        ASSERT_EQ(flashes.size(), expected.size());
        if (c.sound_late > 0) {
            // The sound starts within the first beep: what is left of it is no mark.
            beeps.erase(beeps.begin());
        }
        ASSERT_EQ(beeps.size() + (c.sound_late > 0 ? 1 : 0), expected.size());
        for (std::size_t index = 0; index < expected.size(); ++index) {
            EXPECT_NEAR(flashes[index], expected[index], 1.5 * frame) << "flash " << index;
        }
        for (std::size_t index = 0; index < beeps.size(); ++index) {
            const double flash = flashes[index + expected.size() - beeps.size()];
            EXPECT_NEAR(beeps[index], flash, frame) << "beep " << index;
        }
        std::filesystem::remove(output);
    }
}

// A stream's times are its own: a gap in one stream stays a gap of that stream (the last
// picture held, or silence), a single time days off is dropped for its packet alone, and the
// other stream keeps its place. Both tracks start at 0, so that players which ignore edit
// lists keep them in step too.
TEST_F(VideoConversion, AGapOrABadTimeInOneStreamLeavesTheOtherInPlace) {
    struct Case {
        const char* name;
        const char* format;
        double seconds;
        double picture_gap_from, picture_gap_to, sound_gap_from, sound_gap_to;
        AVMediaType stamped_later; // one tag 13 days ahead (FLV)
        double end_tolerance;
        double synced_from; // flashes from here on meet their beeps
    };
    constexpr double days13 = 13 * 24 * 3600.0;
    for (const Case& c : {
             Case{"sound gap", "matroska", 100, 0, 0, 10, 80, AVMEDIA_TYPE_UNKNOWN, 1.0, 80.5},
             Case{"picture gap", "matroska", 100, 10, 80, 0, 0, AVMEDIA_TYPE_UNKNOWN, 1.0, 80.5},
             Case{"sound tag ahead", "flv", 10, 0, 0, 0, 0, AVMEDIA_TYPE_AUDIO, 0.5, 0},
             Case{"picture tag ahead", "flv", 10, 0, 0, 0, 0, AVMEDIA_TYPE_VIDEO, 0.5, 0},
             Case{"picture starts late", "matroska", 4, 0, 0.6, 0, 0, AVMEDIA_TYPE_UNKNOWN, 0.1,
                  0.9},
         }) {
        SCOPED_TRACE(c.name);
        MediaDescription description = mp4_h264_aac(160, 120, {25, 1}, c.seconds);
        description.format_name = c.format;
        description.video->pattern = MediaDescription::Video::Pattern::flash;
        description.video->gap_from_seconds = c.picture_gap_from;
        description.video->gap_to_seconds = c.picture_gap_to;
        description.audio[0].beeps = true;
        description.audio[0].sample_rate = 48000;
        description.audio[0].gap_from_seconds = c.sound_gap_from;
        description.audio[0].gap_to_seconds = c.sound_gap_to;
        const auto input = folder.file(std::string("clip.") + c.format);
        write_media(input, description);
        if (c.stamped_later != AVMEDIA_TYPE_UNKNOWN) {
            stamp_flv_tag_later(input, c.stamped_later, c.seconds / 2, days13);
        }
        const auto output = folder.file("clip-out.mp4");
        ASSERT_TRUE(converts(input, output, nano_film));

        const MediaInfo info = inspect_media(output);
        for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
            const MediaInfo::Stream& stream = info.stream(type);
            EXPECT_NEAR(stream.end_seconds(), c.seconds, c.end_tolerance)
                << av_get_media_type_string(type);
            // AAC's first packet may start a frame early: the encoder's priming.
            EXPECT_NEAR(stream.end_seconds() - stream.packet_span_seconds(), 0, 0.03)
                << av_get_media_type_string(type);
        }
        const std::vector<double> beeps = beep_times(output);
        int flashes_checked = 0;
        for (const double flash : flash_times(output)) {
            if (flash >= c.synced_from) {
                const auto nearest =
                    std::min_element(beeps.begin(), beeps.end(), [flash](double a, double b) {
                        return std::abs(a - flash) < std::abs(b - flash);
                    });
                ASSERT_NE(nearest, beeps.end());
                EXPECT_NEAR(*nearest, flash, 0.040) << "flash at " << flash;
                ++flashes_checked;
            }
        }
        EXPECT_GE(flashes_checked, static_cast<int>(c.seconds - c.synced_from) - 2);
        std::filesystem::remove(output);
    }
}

TEST_F(VideoConversion, ExistingOutputIsReplaced) {
    const auto input = folder.file("in.mp4");
    write_media(input, mp4_h264_aac(320, 240, {25, 1}, 1.0));
    const auto output = folder.file("taken.mp4");
    { std::ofstream(output) << "not a video"; }
    ASSERT_TRUE(converts(input, output, nano_film));
    EXPECT_EQ(inspect_media(output).count(AVMEDIA_TYPE_VIDEO), 1);
}

} // namespace
} // namespace morvane::test
