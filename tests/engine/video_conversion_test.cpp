// Video jobs end to end: real files in, real files out, read back and decoded.
#include "conversion_fixture.h"
#include "support/colour_bars.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/yuv_picture.h"

#include <cmath>
#include <fstream>

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

    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;

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

    EXPECT_EQ(engine.options().bit_buffer_size, 320 * 240 * 4); // grown from 262144
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
        ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0)
            << messages;
        const MediaInfo in = inspect_media(input);
        const MediaInfo out = inspect_media(output);
        const double ratio = static_cast<double>(out.stream(AVMEDIA_TYPE_VIDEO).packets.size()) /
                             static_cast<double>(in.stream(AVMEDIA_TYPE_VIDEO).packets.size());
        EXPECT_NEAR(ratio, c.expected_ratio, 0.03);
        EXPECT_TRUE(out.stream(AVMEDIA_TYPE_VIDEO).dts_strictly_increasing());
        std::filesystem::remove(output);
    }
}

TEST_F(VideoConversion, PaddingOnlyPictureKeepsItsPixelsAndPixelShape) {
    // 176x144 is smaller than the screen: not scaled, only surrounded by black.
    MediaDescription description = mp4_h264_aac(176, 144, {25, 1}, 1.0);
    description.video->sample_aspect_ratio = {12, 11};
    const auto input = folder.file("qcif.mp4");
    write_media(input, description);
    const auto output = folder.file("qcif-out.mp4");
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;

    const MediaInfo info = inspect_media(output);
    const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    // The input's pixel shape, not a ratio recomputed for the padded frame.
    EXPECT_EQ(av_cmp_q(video.sample_aspect_ratio, AVRational{12, 11}), 0);
    const YuvPicture picture = decode_middle_video_frame(output);
    EXPECT_TRUE(picture.area_is(0, 0, 64, 240, kBlack, 6));    // left band (72 wide)
    EXPECT_TRUE(picture.area_is(256, 0, 320, 240, kBlack, 6)); // right band
    EXPECT_TRUE(picture.area_is(0, 0, 320, 40, kBlack, 6));    // top band (48 high)
    for (int bar = 0; bar < kBarCount; ++bar) {
        const int x = 72 + bar_centre(bar, 176);
        EXPECT_LT(colour_distance(picture.pixel(x, 120), bar_colour(bar)), 24) << "bar " << bar;
    }
}

TEST_F(VideoConversion, OddSizedPictureStillFillsTheScreen) {
    const auto input = folder.file("odd.mp4");
    write_media(input, mp4_h264_aac(175, 143, {25, 1}, 1.0));
    const auto output = folder.file("odd-out.mp4");
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;
    const MediaInfo video_info = inspect_media(output);
    const auto& video = video_info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
}

TEST_F(VideoConversion, UnsetFrameRateMeansTwentyFive) {
    const auto input = folder.file("any.mp4");
    write_media(input, mp4_h264_aac(320, 240, {25, 1}, 1.0));
    const auto output = folder.file("any-out.mp4");
    ASSERT_EQ(convert(input, output,
                      [&] {
                          set_video_player_options("320x240");
                          engine.options().frame_rate = {0, 0};
                      }),
              0)
        << messages;
    const MediaInfo video_info = inspect_media(output);
    const auto& video = video_info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{25, 1}), 0);
}

TEST_F(VideoConversion, TimestampJumpIsAbsorbed) {
    const auto input = folder.file("jump.ts");
    write_media(input, ts_with_timestamp_jump(20.0, 2.0));
    const auto output = folder.file("jump-out.mp4");
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;
    const MediaInfo info = inspect_media(output);
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
        const auto& stream = info.stream(type);
        EXPECT_LT(stream.packet_span_seconds(), 2.5) << av_get_media_type_string(type);
        EXPECT_LT(stream.largest_dts_step_seconds(), 0.2) << av_get_media_type_string(type);
    }
}

TEST_F(VideoConversion, ExistingOutputIsReplaced) {
    const auto input = folder.file("in.mp4");
    write_media(input, mp4_h264_aac(320, 240, {25, 1}, 1.0));
    const auto output = folder.file("taken.mp4");
    { std::ofstream(output) << "not a video"; }
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;
    EXPECT_EQ(inspect_media(output).count(AVMEDIA_TYPE_VIDEO), 1);
}

} // namespace
} // namespace morvane::test
