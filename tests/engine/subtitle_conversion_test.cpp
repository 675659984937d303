// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitles in films: text and bitmap subtitles burned into the picture at their times (and
// only then), wherever the file's clock starts; text kept as a track the player turns on; a
// track that cannot be read leaves the whole film and says why.
#include "conversion_fixture.h"
#include "support/av_handles.h"
#include "support/media_info.h"
#include "support/yuv_picture.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

// Runs the ffmpeg tool; its arguments are given quoted.
void run_ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments;
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("ffmpeg failed: " + command);
    }
}

std::string quoted(const fs::path& path) {
    std::string text = "'";
    for (const char c : path.string()) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

// Six seconds of moving colour (640x360, 25 fps) and a tone, with the given subtitle files
// as tracks (language "fre" then "eng"), into `out` (Matroska), its clock starting at
// `start_seconds`.
void make_film(const fs::path& out, const std::vector<fs::path>& subtitles,
               double start_seconds = 0) {
    std::string arguments = "-f lavfi -i testsrc2=size=640x360:rate=25:duration=6 "
                            "-f lavfi -i sine=frequency=440:duration=6 ";
    for (const fs::path& subtitle : subtitles) {
        arguments += "-i " + quoted(subtitle) + " ";
    }
    arguments += "-map 0 -map 1 ";
    const char* languages[] = {"fre", "eng"};
    for (std::size_t index = 0; index < subtitles.size(); ++index) {
        arguments += "-map " + std::to_string(index + 2) +
                     " -metadata:s:s:" + std::to_string(index) +
                     " language=" + languages[index % 2] + " ";
    }
    arguments += "-c:v libx264 -preset ultrafast -c:a aac -c:s copy ";
    if (start_seconds > 0) {
        arguments += "-output_ts_offset " + std::to_string(start_seconds) + " ";
    }
    run_ffmpeg(arguments + quoted(out));
}

void write_text(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// `film` again with a DVD subtitle track added (640x360): a white box at the bottom from
// `from` to `to` seconds, or, `damaged`, packets of noise at those times.
void add_bitmap_subtitles(const fs::path& film, const fs::path& out, double from, double to,
                          bool damaged) {
    AVFormatContext* raw_input = nullptr;
    if (avformat_open_input(&raw_input, film.c_str(), nullptr, nullptr) < 0) {
        throw std::runtime_error("cannot open " + film.string());
    }
    av::InputPtr input(raw_input);
    avformat_find_stream_info(input.get(), nullptr);
    AVFormatContext* raw_output = nullptr;
    avformat_alloc_output_context2(&raw_output, nullptr, "matroska", out.c_str());
    av::OutputPtr output(raw_output);
    for (unsigned index = 0; index < input->nb_streams; ++index) {
        AVStream* stream = avformat_new_stream(output.get(), nullptr);
        avcodec_parameters_copy(stream->codecpar, input->streams[index]->codecpar);
        stream->codecpar->codec_tag = 0;
        stream->time_base = input->streams[index]->time_base;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    av::CodecContextPtr encoder(avcodec_alloc_context3(codec));
    encoder->width = 640;
    encoder->height = 360;
    encoder->time_base = AVRational{1, 1000};
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0) {
        throw std::runtime_error("no DVD subtitle encoder");
    }
    AVStream* subtitles = avformat_new_stream(output.get(), nullptr);
    avcodec_parameters_from_context(subtitles->codecpar, encoder.get());
    subtitles->time_base = AVRational{1, 1000};
    av_dict_set(&subtitles->metadata, "language", "ger", 0);
    if (avio_open(&output->pb, out.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output.get(), nullptr) < 0) {
        throw std::runtime_error("cannot write " + out.string());
    }

    std::vector<std::uint8_t> encoded(65536);
    int size = 0;
    if (damaged) {
        size = 200;
        for (int index = 0; index < size; ++index) {
            encoded[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(index * 37 + 11);
        }
    } else {
        // The box: palette entry 1 (opaque white) everywhere, 0 transparent.
        std::vector<std::uint8_t> pixels(200 * 40, 1);
        std::uint32_t palette[4] = {0x00000000, 0xffffffff, 0xff000000, 0xff808080};
        AVSubtitleRect rect{};
        rect.x = 220;
        rect.y = 300;
        rect.w = 200;
        rect.h = 40;
        rect.nb_colors = 4;
        rect.type = SUBTITLE_BITMAP;
        rect.data[0] = pixels.data();
        rect.linesize[0] = 200;
        rect.data[1] = reinterpret_cast<std::uint8_t*>(palette);
        AVSubtitleRect* rects[] = {&rect};
        AVSubtitle subtitle{};
        subtitle.num_rects = 1;
        subtitle.rects = rects;
        subtitle.start_display_time = 0;
        subtitle.end_display_time = static_cast<std::uint32_t>((to - from) * 1000);
        size = avcodec_encode_subtitle(encoder.get(), encoded.data(),
                                       static_cast<int>(encoded.size()), &subtitle);
        if (size <= 0) {
            throw std::runtime_error("the DVD subtitle encoder gave nothing");
        }
    }
    bool written = false;
    av::PacketPtr packet(av_packet_alloc());
    const auto write_subtitle = [&] {
        av::PacketPtr subtitle(av_packet_alloc());
        av_new_packet(subtitle.get(), size);
        std::copy_n(encoded.data(), size, subtitle->data);
        subtitle->stream_index = subtitles->index;
        subtitle->pts = subtitle->dts = std::llround(from * 1000);
        subtitle->duration = std::llround((to - from) * 1000);
        subtitle->flags = AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(subtitle.get(), AVRational{1, 1000}, subtitles->time_base);
        av_interleaved_write_frame(output.get(), subtitle.get());
        written = true;
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream* source = input->streams[packet->stream_index];
        if (!written && packet->dts != AV_NOPTS_VALUE &&
            av_q2d(source->time_base) * static_cast<double>(packet->dts) >= from - 0.5) {
            write_subtitle();
        }
        av_packet_rescale_ts(packet.get(), source->time_base,
                             output->streams[packet->stream_index]->time_base);
        packet->pos = -1;
        av_interleaved_write_frame(output.get(), packet.get());
    }
    av_write_trailer(output.get());
    avio_closep(&output->pb);
}

// The language tag of a file's stream.
std::string stream_language(const fs::path& path, int index) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return "(cannot open)";
    }
    av::InputPtr file(raw);
    const AVDictionaryEntry* language =
        index < static_cast<int>(file->nb_streams)
            ? av_dict_get(file->streams[index]->metadata, "language", nullptr, 0)
            : nullptr;
    return language != nullptr ? language->value : "";
}

// How much the bottom band of the picture (where subtitles go) differs between two pictures:
// the mean absolute difference of luma.
double bottom_band_difference(const YuvPicture& first, const YuvPicture& second, int top,
                              int bottom) {
    double sum = 0;
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < first.width(); ++x) {
            sum += std::abs(first.pixel(x, y).y - second.pixel(x, y).y);
            count += 1;
        }
    }
    return sum / count;
}

class SubtitleConversion : public ConversionTest {
protected:
    // The nano's film (320x240: the 16:9 picture is 320x180 from row 30), the input's stream
    // `burned` burned in with lines 20 pixels high.
    static ConversionPlan burning(const MediaInput& input, int burned) {
        ConversionPlan plan = film(input);
        plan.picture->burned_subtitles = burned;
        plan.picture->subtitle_text_height = 20;
        return plan;
    }
};

constexpr int picture_bottom = 210; // the nano's 320x180 picture between bands of 30 rows

TEST_F(SubtitleConversion, BurnedInSubtitlesShowAtTheirTimesOnly) {
    const fs::path srt = folder.file("a.srt");
    write_text(srt, "1\n00:00:02,000 --> 00:00:04,000\nHELLO WORLD\n");
    const fs::path other_srt = folder.file("b.srt");
    write_text(other_srt, "1\n00:00:00,500 --> 00:00:05,500\nNOT THIS ONE\n");
    // A name a filter graph would read as its own syntax: the filter never sees it.
    const fs::path text_film = folder.file("it's: a, [film];.mkv");
    make_film(text_film, {other_srt, srt});
    const fs::path late_film = folder.file("late.mkv");
    make_film(late_film, {srt}, 10.0);
    const fs::path plain_film = folder.file("plain.mkv");
    make_film(plain_film, {});
    const fs::path bitmap_film = folder.file("bitmap.mkv");
    add_bitmap_subtitles(plain_film, bitmap_film, 2.0, 4.0, false);

    const fs::path without = folder.file("without.mp4");
    ASSERT_TRUE(converts(plain_film, without, [](const MediaInput& input) { return film(input); }));
    struct Case {
        const char* what;
        fs::path input;
        int stream;
    };
    const Case cases[] = {
        {"text, the second subtitle track", text_film, 3},
        {"text, the file's clock starting at 10 s", late_film, 2},
        {"DVD bitmaps", bitmap_film, 2},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        const fs::path output = folder.file("burned.mp4");
        fs::remove(output);
        const ConversionResult result = convert(
            row.input, output, [&](const MediaInput& input) { return burning(input, row.stream); });
        ASSERT_TRUE(converted(result)) << result.reason;
        EXPECT_EQ(result.subtitles.left_out, "");
        EXPECT_EQ(result.subtitles.shown, 1);
        // Frames at 1, 3 and 5 s (29.97 fps): only the middle one carries the subtitle, and
        // only inside the picture's bottom, never on the border below it.
        for (const auto& [frame, shown] : {std::pair{30, false}, {90, true}, {150, false}}) {
            const YuvPicture burned = decode_video_frame(output, frame);
            const YuvPicture plain = decode_video_frame(without, frame);
            const double band = bottom_band_difference(burned, plain, 180, picture_bottom);
            if (shown) {
                EXPECT_GT(band, 8.0) << "no subtitle at frame " << frame;
            } else {
                EXPECT_LT(band, 3.0) << "a subtitle at frame " << frame;
            }
            EXPECT_LT(bottom_band_difference(burned, plain, picture_bottom, 240), 1.0);
        }
    }
}

TEST_F(SubtitleConversion, TextKeptAsATrackOrLeftOutWithTheReason) {
    const fs::path srt = folder.file("a.srt");
    write_text(srt, "1\n00:00:02,000 --> 00:00:04,000\nHELLO WORLD\n\n"
                    "2\n00:00:04,500 --> 00:00:05,000\nAGAIN\n");
    const fs::path text_film = folder.file("text.mkv");
    make_film(text_film, {srt});
    const fs::path plain_film = folder.file("plain.mkv");
    make_film(plain_film, {});
    const fs::path damaged_film = folder.file("damaged.mkv");
    add_bitmap_subtitles(plain_film, damaged_film, 2.0, 4.0, true);
    const fs::path empty_srt = folder.file("empty.srt");
    write_text(empty_srt, "");

    // Kept: a mov_text track in its language, each subtitle at its time.
    const fs::path kept = folder.file("kept.mp4");
    const ConversionResult result = convert(text_film, kept, [](const MediaInput& input) {
        ConversionPlan plan = film(input);
        plan.subtitle_track = SubtitleTrackSpec{{"mov_text", {}}, 2};
        return plan;
    });
    ASSERT_TRUE(converted(result)) << result.reason;
    EXPECT_EQ(result.subtitles.shown, 2);
    const MediaInfo info = inspect_media(kept);
    ASSERT_EQ(info.streams.size(), 3u);
    const MediaInfo::Stream& track = info.streams[2];
    EXPECT_EQ(track.codec_name, "mov_text");
    EXPECT_EQ(stream_language(kept, 2), "fre");
    // The MP4 muxer fills the time between subtitles with empty samples (two bytes).
    std::vector<MediaInfo::Packet> texts;
    std::copy_if(track.packets.begin(), track.packets.end(), std::back_inserter(texts),
                 [](const MediaInfo::Packet& packet) { return packet.size > 2; });
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NEAR(av_q2d(track.time_base) * texts[0].pts, 2.0, 0.05);
    EXPECT_NEAR(av_q2d(track.time_base) * texts[0].duration, 2.0, 0.05);
    EXPECT_NEAR(av_q2d(track.time_base) * texts[1].pts, 4.5, 0.05);

    // Damaged bitmaps, burned: the whole film, and why it has no subtitles.
    const ConversionResult damaged =
        convert(damaged_film, folder.file("damaged.mp4"), [](const MediaInput& input) {
            ConversionPlan plan = film(input);
            plan.picture->burned_subtitles = 2;
            plan.picture->subtitle_text_height = 20;
            return plan;
        });
    ASSERT_TRUE(converted(damaged)) << damaged.reason;
    EXPECT_EQ(damaged.subtitles.left_out, "they could not be read");
    EXPECT_NEAR(damaged.seconds_reached, 6.0, 0.2);
}

} // namespace
} // namespace morvane::test
