// SPDX-License-Identifier: GPL-3.0-or-later
// The generator writes what it claims: read back with FFmpeg's demuxers and decoders.
#include "support/decoded_audio.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_marks.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/stream_decoder.h"
#include "support/temp_folder.h"
#include "support/yuv_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <vector>

namespace morvane::test {
namespace {

using ::testing::HasSubstr;

// Lossy codecs move flat colours a little, most of all in chroma.
constexpr int kLossyTolerance = 10;

// Every bar shows its colour at its centre on a few rows, and is flat inside, a few pixels
// away from its edges (chroma is shared by 2x2 blocks and coding blurs edges).
void expect_colour_bars(const YuvPicture& picture, int tolerance = kLossyTolerance) {
    for (int bar = 0; bar < kBarCount; ++bar) {
        EXPECT_TRUE(picture.area_is(bar_left(bar, picture.width()) + 4, 4,
                                    bar_right(bar, picture.width()) - 4, picture.height() - 4,
                                    bar_colour(bar), tolerance + 4))
            << "bar " << bar << " is not flat";
    }
    for (int row : {picture.height() / 4, picture.height() / 2, picture.height() * 3 / 4}) {
        for (int bar = 0; bar < kBarCount; ++bar) {
            const int x = bar_centre(bar, picture.width());
            const YuvColour seen = picture.pixel(x, row);
            EXPECT_LE(colour_distance(seen, bar_colour(bar)), tolerance)
                << "bar " << bar << " at (" << x << ", " << row << ") is " << seen.y << ","
                << seen.u << "," << seen.v;
        }
    }
}

void expect_tone(const std::filesystem::path& file, int track, double hz, double seconds) {
    const DecodedAudio audio = decode_audio(file, track);
    EXPECT_NEAR(audio.tone_frequency(0), hz, hz * 0.01);
    EXPECT_NEAR(audio.tone_frequency(audio.channels() - 1), hz, hz * 0.01);
    EXPECT_NEAR(audio.seconds(), seconds, 0.06);
    EXPECT_NEAR(audio.rms(0), 0.5 / std::sqrt(2.0), 0.03);
}

struct Size {
    int width;
    int height;

    friend void PrintTo(const Size& size, std::ostream* out) {
        *out << size.width << "x" << size.height;
    }
};

class H264AacInMp4 : public ::testing::TestWithParam<Size> {};

TEST_P(H264AacInMp4, HasTheSizeFramesBarsAndTone) {
    const auto [width, height] = GetParam();
    TempFolder folder;
    const auto file = folder.file("clip.mp4");
    write_media(file, mp4_h264_aac(width, height));

    const MediaInfo info = inspect_media(file);
    EXPECT_THAT(info.format_name, HasSubstr("mp4"));
    EXPECT_TRUE(info.read_error.empty()) << info.read_error;
    EXPECT_NEAR(info.duration_seconds, 2.0, 0.05);
    ASSERT_EQ(info.streams.size(), 2U);
    const MediaInfo::Stream& video = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(video.width, width);
    EXPECT_EQ(video.height, height);
    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{25, 1}), 0);
    EXPECT_EQ(video.packets.size(), 50U);
    EXPECT_TRUE(video.dts_strictly_increasing());
    std::set<std::int64_t> pts;
    for (const auto& packet : video.packets) {
        pts.insert(packet.pts);
    }
    EXPECT_EQ(pts.size(), 50U);
    EXPECT_TRUE(video.packets.front().key);
    const MediaInfo::Stream& audio = info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio.codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(audio.sample_rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_TRUE(audio.dts_strictly_increasing());

    const YuvPicture first = decode_video_frame(file, 0);
    EXPECT_EQ(first.width(), width);
    EXPECT_EQ(first.height(), height);
    EXPECT_NEAR(first.seconds(), 0.0, 1e-9);
    const YuvPicture middle = decode_middle_video_frame(file);
    EXPECT_NEAR(middle.seconds(), 25 / 25.0, 1e-9);
    expect_colour_bars(middle);
    expect_tone(file, 0, 440.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, H264AacInMp4,
                         ::testing::Values(Size{640, 480}, Size{1280, 720}, Size{720, 576},
                                           Size{352, 288}, Size{176, 144}, Size{175, 143}),
                         [](const auto& test) {
                             return std::to_string(test.param.width) + "x" +
                                    std::to_string(test.param.height);
                         });

TEST(MediaWriter, GivesEachFrameItsOwnTimeAtSixtyFramesPerSecond) {
    TempFolder folder;
    const auto file = folder.file("sixty.mp4");
    write_media(file, mp4_h264_aac(320, 240, {60, 1}, 1.5));

    const MediaInfo::Stream video = inspect_media(file).stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{60, 1}), 0);
    ASSERT_EQ(video.packets.size(), 90U);
    std::vector<std::int64_t> pts;
    for (const auto& packet : video.packets) {
        pts.push_back(packet.pts);
    }
    std::sort(pts.begin(), pts.end());
    for (std::size_t index = 1; index < pts.size(); ++index) {
        EXPECT_NEAR(static_cast<double>(pts[index] - pts[index - 1]) * av_q2d(video.time_base),
                    1.0 / 60, 1e-6);
    }
    EXPECT_NEAR(decode_video_frame(file, 89).seconds(), 89 / 60.0, 1e-6);
}

TEST(MediaWriter, WritesPcmWaveAtTheAskedRateAndChannels) {
    TempFolder folder;
    for (const auto& [rate, channels] : {std::pair{44100, 2}, {48000, 2}, {48000, 1}}) {
        const auto file = folder.file("tone.wav");
        write_media(file, wav_pcm(rate, channels));
        const MediaInfo info = inspect_media(file);
        EXPECT_EQ(info.format_name, "wav");
        ASSERT_EQ(info.streams.size(), 1U);
        EXPECT_EQ(info.streams[0].codec_id, AV_CODEC_ID_PCM_S16LE);
        EXPECT_EQ(info.streams[0].sample_rate, rate);
        EXPECT_EQ(info.streams[0].channels, channels);

        const DecodedAudio audio = decode_audio(file);
        EXPECT_EQ(audio.frame_count(), 2 * rate) << "PCM keeps every sample";
        EXPECT_EQ(audio.channels(), channels);
        expect_tone(file, 0, 440.0, 2.0);
    }
}

TEST(MediaWriter, WritesMp3WithCoverArtThatIsNoVideo) {
    TempFolder folder;
    const auto plain = folder.file("plain.mp3");
    write_media(plain, mp3_audio(44100, 2, 2.0));
    const MediaInfo plain_info = inspect_media(plain);
    EXPECT_EQ(plain_info.format_name, "mp3");
    ASSERT_EQ(plain_info.streams.size(), 1U);
    EXPECT_EQ(plain_info.streams[0].codec_id, AV_CODEC_ID_MP3);
    expect_tone(plain, 0, 440.0, 2.0);

    const auto covered = folder.file("covered.mp3");
    write_media(covered, mp3_with_cover_art());
    const MediaInfo info = inspect_media(covered);
    ASSERT_EQ(info.streams.size(), 2U);
    EXPECT_EQ(info.count(AVMEDIA_TYPE_VIDEO), 0);
    EXPECT_EQ(info.count(AVMEDIA_TYPE_AUDIO), 1);
    const MediaInfo::Stream& picture = info.attached_picture();
    EXPECT_EQ(picture.type, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(picture.codec_id, AV_CODEC_ID_PNG);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.packets.size(), 1U);
    expect_tone(covered, 0, 440.0, 2.0);
}

TEST(MediaWriter, WritesMpeg2AndMp2InAProgramStream) {
    TempFolder folder;
    const auto file = folder.file("clip.mpg");
    write_media(file, mpeg_ps_mpeg2_mp2());

    const MediaInfo info = inspect_media(file);
    EXPECT_EQ(info.format_name, "mpeg");
    const MediaInfo::Stream& video = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.codec_id, AV_CODEC_ID_MPEG2VIDEO);
    EXPECT_EQ(video.width, 720);
    EXPECT_EQ(video.height, 576);
    EXPECT_EQ(video.packets.size(), 50U);
    const MediaInfo::Stream& audio = info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio.codec_id, AV_CODEC_ID_MP2);
    EXPECT_EQ(audio.sample_rate, 48000);
    expect_colour_bars(decode_middle_video_frame(file));
    expect_tone(file, 0, 440.0, 2.0);
}

TEST(MediaWriter, PaintsTheSameBarsWithOtherCodecsAndRanges) {
    TempFolder folder;
    const auto odd = folder.file("odd.mp4");
    write_media(odd, mp4_mpeg4_aac(175, 143));
    const MediaInfo::Stream odd_video = inspect_media(odd).stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(odd_video.codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(odd_video.width, 175);
    EXPECT_EQ(odd_video.height, 143);
    EXPECT_EQ(odd_video.pixel_format, AV_PIX_FMT_YUV420P);
    expect_colour_bars(decode_middle_video_frame(odd));

    // JPEG codes full range; the inspector hands back limited range like every other codec.
    MediaDescription mjpeg;
    mjpeg.video = MediaDescription::Video{};
    mjpeg.video->codec = AV_CODEC_ID_MJPEG;
    mjpeg.video->duration_seconds = 0.4;
    const auto jpeg = folder.file("clip.mkv");
    write_media(jpeg, mjpeg);
    const MediaInfo::Stream jpeg_video = inspect_media(jpeg).stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(jpeg_video.pixel_format, AV_PIX_FMT_YUVJ420P);
    EXPECT_EQ(jpeg_video.packets.size(), 10U);
    expect_colour_bars(decode_video_frame(jpeg, 3));
}

TEST(MediaWriter, KeepsTwoAudioTracksApart) {
    TempFolder folder;
    const auto file = folder.file("two.mp4");
    write_media(file, mp4_two_audio_tracks());

    const MediaInfo info = inspect_media(file);
    EXPECT_EQ(info.count(AVMEDIA_TYPE_VIDEO), 1);
    EXPECT_EQ(info.count(AVMEDIA_TYPE_AUDIO), 2);
    expect_tone(file, 0, 440.0, 2.0);
    expect_tone(file, 1, 1000.0, 2.0);
}

TEST(MediaWriter, WritesAFileWhoseOnlyStreamIsData) {
    TempFolder folder;
    const auto file = folder.file("data.ts");
    write_media(file, ts_data_only());

    const MediaInfo info = inspect_media(file);
    EXPECT_EQ(info.format_name, "mpegts");
    ASSERT_EQ(info.streams.size(), 1U);
    EXPECT_EQ(info.streams[0].type, AVMEDIA_TYPE_DATA);
    EXPECT_EQ(info.streams[0].codec_id, AV_CODEC_ID_SMPTE_KLV);
    EXPECT_EQ(info.streams[0].packets.size(), 20U);
    EXPECT_THROW(decode_audio(file), std::runtime_error);
}

TEST(MediaWriter, MovesEveryStreamLaterFromTheMiddleOnByTheJump) {
    TempFolder folder;
    // MPEG-TS as the preset has it; MP4 keeps such a jump as well.
    for (const char* format : {"mpegts", "mp4"}) {
        SCOPED_TRACE(format);
        const auto file = folder.file(std::string("jump.") + format);
        MediaDescription description = ts_with_timestamp_jump(20.0, 2.0);
        description.format_name = format;
        write_media(file, description);

        const MediaInfo info = inspect_media(file);
        EXPECT_NEAR(info.duration_seconds, 22.0, 0.1);
        for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
            const MediaInfo::Stream& stream = info.stream(type);
            EXPECT_TRUE(stream.dts_strictly_increasing()) << av_get_media_type_string(type);
            // The jump plus at most a frame's ordinary step.
            EXPECT_NEAR(stream.largest_dts_step_seconds(), 20.0, 0.1)
                << av_get_media_type_string(type);
            EXPECT_NEAR(stream.packet_span_seconds(), 22.0, 0.1) << av_get_media_type_string(type);
        }
        EXPECT_EQ(info.stream(AVMEDIA_TYPE_VIDEO).packets.size(), 50U);
    }
}

double seconds_of(const MediaInfo::Stream& stream, std::int64_t timestamp) {
    return static_cast<double>(timestamp) * av_q2d(stream.time_base);
}

// Recordings as a television or camcorder owner has them: written, then joined or damaged as a
// recorder leaves them, and read back as a player reads them.
TEST(MediaWriter, WritesRecordingsAsRecordersLeaveThem) {
    enum class Fault {
        none,
        joined_continuing,
        joined_restarting,
        picture_stamped_later,
        sound_stamped_later,
        sound_dropped,
        sound_starts_late,
        sound_never_comes,
    };
    struct Case {
        const char* name;
        MediaDescription description;
        Fault fault;
    };
    auto sound_gap = [](MediaDescription description, double from, double to) {
        description.audio[0].gap_from_seconds = from;
        description.audio[0].gap_to_seconds = to;
        return description;
    };
    const Case cases[] = {
        {"h264 aac 5.1", ts_broadcast(AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 6), Fault::none},
        {"mpeg2 ac3 5.1 joined", ts_broadcast(AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_AC3, 6),
         Fault::joined_continuing},
        {"h264 mp2 joined restarting", ts_broadcast(AV_CODEC_ID_H264, AV_CODEC_ID_MP2, 2),
         Fault::joined_restarting},
        {"mpeg2 mp2 picture stamped", ts_broadcast(AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, 2),
         Fault::picture_stamped_later},
        {"h264 ac3 sound stamped", ts_broadcast(AV_CODEC_ID_H264, AV_CODEC_ID_AC3, 2),
         Fault::sound_stamped_later},
        {"mpeg2 ac3 sound dropped", ts_broadcast(AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_AC3, 2),
         Fault::sound_dropped},
        {"mpeg2 aac 5.1 sound late",
         sound_gap(ts_broadcast(AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_AAC, 6, 3.0), 0.0, 1.0),
         Fault::sound_starts_late},
        {"h264 ac3 no sound packets",
         sound_gap(ts_broadcast(AV_CODEC_ID_H264, AV_CODEC_ID_AC3, 2), 0.0, 2.0),
         Fault::sound_never_comes},
        {"dv film", dv_film(1.0), Fault::none},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder.file("recording");
        write_media(file, c.description);
        const MediaInfo written = inspect_media(file);
        const MediaInfo::Stream& first_video = written.stream(AVMEDIA_TYPE_VIDEO);
        // Where the file's timeline starts: its first picture shows the content's 0 s.
        const double start = seconds_of(first_video, first_video.packets.front().pts);
        switch (c.fault) {
        case Fault::joined_continuing:
        case Fault::joined_restarting: {
            MediaDescription second = c.description;
            second.start_seconds = c.fault == Fault::joined_continuing ? 2.0 : 0.0;
            const auto second_file = folder.file("second");
            write_media(second_file, second);
            join_files({file, second_file}, folder.file("joined"));
            std::filesystem::rename(folder.file("joined"), file);
            break;
        }
        case Fault::picture_stamped_later:
            stamp_ts_pes_later(file, AVMEDIA_TYPE_VIDEO, 1.0, 0.5);
            break;
        case Fault::sound_stamped_later:
            stamp_ts_pes_later(file, AVMEDIA_TYPE_AUDIO, 1.0, 0.5);
            break;
        case Fault::sound_dropped:
            drop_ts_stream(file, AVMEDIA_TYPE_AUDIO, 0.5, 1.5);
            EXPECT_EQ(std::filesystem::file_size(file), read_file(file).size());
            break;
        default:
            break;
        }

        const MediaInfo info = inspect_media(file);
        EXPECT_EQ(info.format_name, c.description.format_name == "avi" ? "avi" : "mpegts");
        ASSERT_EQ(info.streams.size(), 2U) << "a stream without packets is still declared";
        const MediaInfo::Stream& video = info.stream(AVMEDIA_TYPE_VIDEO);
        const MediaInfo::Stream& audio = info.stream(AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(video.codec_id, c.description.video->codec);
        EXPECT_EQ(audio.codec_id, c.description.audio[0].codec);
        const MediaInfo::Stream& written_audio = written.stream(AVMEDIA_TYPE_AUDIO);
        switch (c.fault) {
        case Fault::none:
        case Fault::sound_starts_late:
            EXPECT_EQ(audio.channels, c.description.audio[0].channels);
            if (c.description.video->codec == AV_CODEC_ID_DVVIDEO) {
                break;
            }
            // The sound starts at 1 s within the beep, so only later ones are heard.
            EXPECT_EQ(beep_times(file).size(), 1U);
            for (const double beep : beep_times(file)) {
                const std::vector<double> flashes = flash_times(file);
                EXPECT_TRUE(
                    std::any_of(flashes.begin(), flashes.end(),
                                [beep](double flash) { return std::abs(flash - beep) < 0.02; }))
                    << "beep at " << beep;
            }
            break;
        case Fault::joined_continuing:
        case Fault::joined_restarting:
            // The second part's packets follow the first's, each as far on as the part starts.
            for (const auto* stream : {&video, &audio}) {
                const MediaInfo::Stream& part = written.stream(stream->type);
                ASSERT_EQ(stream->packets.size(), 2 * part.packets.size());
                const std::size_t second = part.packets.size();
                for (std::size_t index = 0; index < second; ++index) {
                    EXPECT_NEAR(seconds_of(*stream, stream->packets[second + index].pts -
                                                        stream->packets[index].pts),
                                c.fault == Fault::joined_continuing ? 2.0 : 0.0, 1e-9);
                }
            }
            if (c.fault == Fault::joined_continuing) {
                EXPECT_TRUE(video.dts_strictly_increasing());
                EXPECT_NEAR(video.packet_span_seconds(), 4.0, 1e-9);
            }
            EXPECT_EQ(flash_times(file).size(), 2U);
            break;
        case Fault::picture_stamped_later:
        case Fault::sound_stamped_later: {
            // Exactly one PES of the type moves, the first at or after 1 s; nothing else does.
            const AVMediaType type =
                c.fault == Fault::picture_stamped_later ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
            for (const auto* stream : {&video, &audio}) {
                const MediaInfo::Stream& before = written.stream(stream->type);
                ASSERT_EQ(stream->packets.size(), before.packets.size());
                int moved = 0;
                for (std::size_t index = 0; index < before.packets.size(); ++index) {
                    const auto& was = before.packets[index];
                    const auto& now = stream->packets[index];
                    if (now.pts != was.pts) {
                        ++moved;
                        EXPECT_NEAR(seconds_of(before, now.pts - was.pts), 0.5, 1e-9);
                        EXPECT_NEAR(seconds_of(before, now.dts - was.dts), 0.5, 1e-9);
                        EXPECT_GE(seconds_of(before, was.pts) - start, 1.0 - 1e-9);
                    }
                }
                EXPECT_EQ(moved, stream->type == type ? 1 : 0) << av_get_media_type_string(type);
            }
            break;
        }
        case Fault::sound_dropped: {
            // The pictures are whole; the sound has packets before and after the span only.
            EXPECT_EQ(video.packets.size(), first_video.packets.size());
            int before = 0;
            int after = 0;
            for (const auto& packet : audio.packets) {
                const double at = seconds_of(audio, packet.pts) - start;
                EXPECT_FALSE(at >= 0.5 && at < 1.5) << "a packet at " << at << " s";
                (at < 0.5 ? before : after) += 1;
            }
            EXPECT_GT(before, 0);
            EXPECT_GT(after, 0);
            EXPECT_LT(audio.packets.size(), written_audio.packets.size());
            break;
        }
        case Fault::sound_never_comes:
            EXPECT_TRUE(audio.packets.empty());
            EXPECT_EQ(video.packets.size(), 50U);
            break;
        }
        if (c.fault == Fault::sound_starts_late) {
            // The first packet holds the sound from 1 s, with the codec's priming before it.
            const double first = seconds_of(audio, audio.packets.front().pts) - start;
            EXPECT_LE(first, 1.0 + 1e-6);
            EXPECT_GE(first, 1.0 - 1024.0 / 48000 - 1e-6);
        }
        if (c.description.video->codec == AV_CODEC_ID_DVVIDEO) {
            // Only the pictures say they are interlaced, bottom field first; the header does not.
            EXPECT_EQ(video.field_order, AV_FIELD_UNKNOWN);
            EXPECT_EQ(video.width, 720);
            EXPECT_EQ(audio.sample_rate, 48000);
            StreamDecoder decoder(file, AVMEDIA_TYPE_VIDEO);
            av::FramePtr frame(av_frame_alloc());
            int frames = 0;
            while (decoder.next(*frame)) {
                ++frames;
                EXPECT_TRUE(frame->interlaced_frame);
                EXPECT_FALSE(frame->top_field_first);
                av_frame_unref(frame.get());
            }
            EXPECT_EQ(frames, 25);
            // Woven, the fields comb: in frame 5 the bar covers x 80-111 on the bottom field's
            // (odd) rows and 88-119 on the top field's.
            const YuvPicture picture = decode_video_frame(file, 5);
            EXPECT_GT(picture.pixel(84, 301).y, 180);
            EXPECT_LT(picture.pixel(84, 300).y, 60);
            EXPECT_GT(picture.pixel(115, 300).y, 180);
            EXPECT_LT(picture.pixel(115, 301).y, 60);
        }
    }
}

TEST(FileDamage, TruncatesAndDamagesCopiesOnly) {
    TempFolder folder;
    const auto good = folder.file("good.ts");
    write_media(good, ts_with_timestamp_jump(0.0, 2.0));
    const auto size = std::filesystem::file_size(good);

    const auto half = folder.file("half.ts");
    write_truncated_copy(good, half, 0.5);
    EXPECT_EQ(std::filesystem::file_size(half), (size + 1) / 2);
    const auto few = folder.file("few.ts");
    write_truncated_copy_bytes(good, few, 1000);
    EXPECT_EQ(std::filesystem::file_size(few), 1000U);
    const auto whole = folder.file("whole.ts");
    write_truncated_copy_bytes(good, whole, size + 10);
    EXPECT_EQ(std::filesystem::file_size(whole), size);

    const MediaInfo full_info = inspect_media(good);
    const MediaInfo half_info = inspect_media(half);
    EXPECT_LT(half_info.stream(AVMEDIA_TYPE_VIDEO).packets.size(),
              full_info.stream(AVMEDIA_TYPE_VIDEO).packets.size());
    EXPECT_GT(half_info.stream(AVMEDIA_TYPE_VIDEO).packets.size(), 0U);
    EXPECT_LT(decode_audio(half).seconds(), 1.5);

    const auto damaged = folder.file("damaged.ts");
    const auto start = write_damaged_copy(good, damaged, 4096, 0.5);
    EXPECT_EQ(std::filesystem::file_size(damaged), size);
    auto read = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    };
    const std::vector<char> before = read(good);
    const std::vector<char> after = read(damaged);
    std::size_t first_difference = before.size();
    std::size_t last_difference = 0;
    for (std::size_t index = 0; index < before.size(); ++index) {
        if (before[index] != after[index]) {
            first_difference = std::min(first_difference, index);
            last_difference = index;
        }
    }
    EXPECT_GE(first_difference, start);
    EXPECT_LT(last_difference, start + 4096);
    EXPECT_GT(last_difference, start + 4000) << "the damage spans the asked length";
    // Still readable around the damage, as a player would.
    EXPECT_NO_THROW(decode_audio(damaged));
    EXPECT_NO_THROW(decode_middle_video_frame(damaged));

    // MP4 keeps its index at the end, so half of one is no longer a readable file.
    const auto mp4 = folder.file("good.mp4");
    write_media(mp4, mp4_h264_aac(176, 144, {25, 1}, 1.0));
    const auto cut = folder.file("cut.mp4");
    write_truncated_copy(mp4, cut, 0.5);
    EXPECT_THROW(inspect_media(cut), std::runtime_error);
}

TEST(MediaWriter, ReportsWhatFfmpegRefuses) {
    TempFolder folder;
    MediaDescription odd_420 = mp4_h264_aac(175, 143);
    odd_420.video->pixel_format = AV_PIX_FMT_YUV420P;
    try {
        write_media(folder.file("odd.mp4"), odd_420);
        ADD_FAILURE() << "libx264 took an odd 4:2:0 size";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), HasSubstr("libx264"));
    }

    MediaDescription unknown = wav_pcm(44100, 2);
    unknown.format_name = "no-such-container";
    EXPECT_THROW(write_media(folder.file("x.wav"), unknown), std::runtime_error);
    unknown.format_name.clear();
    EXPECT_THROW(write_media(folder.file("x.no-such-extension"), unknown), std::runtime_error);

    try {
        write_media(folder.file("x.ts"), ts_broadcast(AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, 6));
        ADD_FAILURE() << "mp2 took 5.1";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), HasSubstr("mp2 does not take 6 channels"));
    }

    MediaDescription mp3_rate = mp3_audio(44100, 2);
    mp3_rate.audio[0].sample_rate = 96000;
    EXPECT_THROW(write_media(folder.file("x.mp3"), mp3_rate), std::runtime_error);

    EXPECT_THROW(write_media(folder.file("empty.mkv"), MediaDescription{}), std::runtime_error);
}

} // namespace
} // namespace morvane::test
