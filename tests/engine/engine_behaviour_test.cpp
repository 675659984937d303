// The engine's contract with its caller: option life cycle, progress and stop, failures.
#include "conversion_fixture.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"

#include <fstream>
#include <random>
#include <thread>

namespace morvane::test {
namespace {

using namespace std::chrono_literals;

class EngineBehaviour : public ConversionTest {};

TEST_F(EngineBehaviour, ResetGivesTheSameOptionsEveryTime) {
    engine.options().video_disable = true;
    engine.options().frame_width = 1234;
    engine.options().video_codec_override = AV_CODEC_ID_MPEG4;
    engine.reset_engine(progress);
    const EngineOptions first = engine.options();
    engine.reset_engine(progress);
    const EngineOptions& second = engine.options();
    EXPECT_FALSE(second.video_disable);
    EXPECT_EQ(second.frame_width, first.frame_width);
    EXPECT_EQ(second.audio_sample_rate, 44100);
    EXPECT_EQ(second.audio_channels, 1);
    EXPECT_EQ(second.video_bit_rate, -1);
    EXPECT_EQ(second.video_codec_override, AV_CODEC_ID_NONE);
    EXPECT_EQ(progress.last_percent, -1);
    EXPECT_EQ(progress.callback, nullptr);
}

TEST_F(EngineBehaviour, ClosingFilesKeepsTheBatchOptions) {
    const auto input = folder.file("clip.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 0.5));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0);
    ASSERT_EQ(engine.set_frame_size_fit("320x240"), 0);
    engine.options().video_disable = true;
    engine.options().audio_codec_override = AV_CODEC_ID_MP3;
    ASSERT_EQ(engine.open_output_file(folder.file("clip.mp3").string()), 0);
    engine.close_engine_files();

    EXPECT_TRUE(engine.tables().input_files.empty());
    EXPECT_TRUE(engine.tables().output_files.empty());
    EXPECT_EQ(engine.options().audio_codec_override, AV_CODEC_ID_NONE);
    // Only a reset clears what the batch set.
    EXPECT_TRUE(engine.options().video_disable);
    EXPECT_EQ(engine.options().frame_width, 320);
    EXPECT_EQ(engine.options().frame_height, 240);
}

TEST_F(EngineBehaviour, SizeTextThatIsNoSizeChangesNothing) {
    engine.options().frame_width = 640;
    engine.options().frame_height = 480;
    EXPECT_EQ(engine.set_frame_size_fit("big"), 1);
    EXPECT_EQ(messages, "Incorrect frame size\n");
    EXPECT_EQ(engine.options().frame_width, 640);
    EXPECT_EQ(engine.options().pad_left, 0);
}

TEST_F(EngineBehaviour, InputWithoutVideoLeavesThePictureOptionsAlone) {
    engine.options().frame_width = 111;
    engine.options().frame_height = 222;
    engine.options().frame_rate = {24, 1};
    const auto input = folder.file("tone.wav");
    write_media(input, wav_pcm(48000, 2, 0.5));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0);
    EXPECT_EQ(engine.options().frame_width, 111);
    EXPECT_EQ(engine.options().frame_height, 222);
    EXPECT_EQ(av_cmp_q(engine.options().frame_rate, AVRational{24, 1}), 0);
    EXPECT_EQ(engine.options().audio_sample_rate, 48000);
    EXPECT_EQ(engine.options().audio_channels, 2);
    EXPECT_GT(progress.total_bytes, 0);
    EXPECT_NEAR(progress.duration, 500000, 30000);
}

TEST_F(EngineBehaviour, DataOnlyInputOpensButHasNothingToConvert) {
    const auto input = folder.file("data.ts");
    write_media(input, ts_data_only(1.0));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0) << messages;
    ASSERT_EQ(engine.open_output_file(folder.file("data.mp4").string()), 0) << messages;
    EXPECT_EQ(engine.transcode(progress), Engine::output_failed);
    EXPECT_EQ(messages, "Output file does not contain any stream\n");
    EXPECT_EQ(engine.last_error(), "Stream not found");
    EXPECT_FALSE(std::filesystem::exists(folder.file("data.mp4")));
    EXPECT_TRUE(engine.tables().input_files.empty());
    EXPECT_TRUE(engine.tables().output_files.empty());
}

TEST_F(EngineBehaviour, OutputTypeWithoutSourceFailsTheSetUp) {
    // An .mp4 asked to carry video from a file that has only sound.
    const auto input = folder.file("tone.wav");
    write_media(input, wav_pcm(44100, 2, 0.5));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0);
    engine.options().video_codec_override = AV_CODEC_ID_MPEG4;
    ASSERT_EQ(engine.open_output_file(folder.file("tone.mp4").string()), 0);
    // The container wants video only when an input has some: no video stream, audio only.
    EXPECT_EQ(engine.transcode(progress), 0) << messages;
    engine.close_engine_files();
    const MediaInfo info = inspect_media(folder.file("tone.mp4"));
    EXPECT_EQ(info.count(AVMEDIA_TYPE_VIDEO), 0);
    EXPECT_EQ(info.count(AVMEDIA_TYPE_AUDIO), 1);
}

TEST_F(EngineBehaviour, UnknownOutputNameIsRefused) {
    const auto input = folder.file("tone.wav");
    write_media(input, wav_pcm(44100, 2, 0.5));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0);
    const std::string output = folder.file("tone.nothing-knows-this").string();
    EXPECT_EQ(engine.open_output_file(output), Engine::output_failed);
    EXPECT_EQ(messages, "Unable to find a suitable output format for '" + output + "'\n");
    EXPECT_TRUE(engine.tables().input_files.empty());
}

TEST_F(EngineBehaviour, UnwritableOutputIsRefused) {
    const auto input = folder.file("tone.wav");
    write_media(input, wav_pcm(44100, 2, 0.5));
    ASSERT_EQ(engine.open_input_file(progress, input.string()), 0);
    const std::string output = folder.file("no-such-folder/tone.mp3").string();
    EXPECT_EQ(engine.open_output_file(output), Engine::output_failed);
    EXPECT_EQ(messages, "Could not open '" + output + "'\n");
    EXPECT_EQ(engine.last_error(), "No such file or directory");
}

TEST_F(EngineBehaviour, WriteFailureOnTheLastPacketFailsCleanly) {
    const auto input = folder.file("clip.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 2.0));
    const auto output = folder.file("clip-out.mp4");
    // A first run counts the packets; the second finds the disk full on the last one.
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;
    const std::int64_t packets = engine.tables().packets_written;
    ASSERT_GT(packets, 10);
    std::filesystem::remove(output);
    std::int64_t seen = 0;
    engine.set_packet_muxer([&](AVFormatContext* container, AVPacket* packet) {
        if (++seen == packets) {
            av_packet_unref(packet);
            return AVERROR(ENOSPC);
        }
        return av_interleaved_write_frame(container, packet);
    });
    engine.reset_engine(progress);
    EXPECT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }),
              Engine::output_failed);
    EXPECT_EQ(seen, packets);
    EXPECT_EQ(engine.last_error(), "No space left on device");
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_TRUE(engine.tables().input_files.empty());
    EXPECT_TRUE(engine.tables().output_files.empty());
}

TEST_F(EngineBehaviour, BadInputFailsCleanly) {
    const auto good = folder.file("good.mp4");
    write_media(good, mp4_h264_aac(320, 240, {25, 1}, 1.0));
    const auto truncated = folder.file("truncated.mp4");
    write_truncated_copy(good, truncated, 0.5);
    const auto random_bytes = folder.file("noise.avi");
    {
        std::mt19937 generator(7);
        std::ofstream out(random_bytes, std::ios::binary);
        for (int index = 0; index < 100000; ++index) {
            out.put(static_cast<char>(generator() & 0xff));
        }
    }
    const auto empty = folder.file("empty.mp4");
    { std::ofstream out(empty); }
    for (const auto& path :
         {std::filesystem::path(MORVANE_TEST_DATA_DIR) / "fixture-corrupt.mkv", truncated,
          random_bytes, empty, folder.path(), folder.file("missing.mp4")}) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(engine.open_input_file(progress, path.string()), Engine::open_input_failed);
        EXPECT_TRUE(engine.tables().input_files.empty());
        EXPECT_FALSE(engine.last_error().empty());
    }
}

TEST_F(EngineBehaviour, DamagedButReadableInputStillConverts) {
    const auto good = folder.file("good.ts");
    MediaDescription description = mp4_h264_aac(320, 240, {25, 1}, 2.0);
    description.format_name = "mpegts";
    write_media(good, description);
    const auto damaged = folder.file("damaged.ts");
    write_damaged_copy(good, damaged, 4096, 0.5);
    const auto cut = folder.file("cut.ts");
    write_truncated_copy(good, cut, 0.6);
    for (const auto& input : {damaged, cut}) {
        SCOPED_TRACE(input.string());
        const auto output = folder.file("out.mp4");
        ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0);
        const MediaInfo info = inspect_media(output);
        EXPECT_TRUE(info.read_error.empty());
        EXPECT_TRUE(info.stream(AVMEDIA_TYPE_VIDEO).dts_strictly_increasing());
        EXPECT_TRUE(info.stream(AVMEDIA_TYPE_AUDIO).dts_strictly_increasing());
        std::filesystem::remove(output);
    }
}

TEST_F(EngineBehaviour, ProgressIsThrottledAndOnlySentWhenItChanges) {
    engine.set_report_interval(100ms);
    progress.callback = &sink;
    progress.duration = 10000000;
    progress.position = 2500000;
    // The first periodic report of an engine's life only starts the clock.
    EXPECT_TRUE(engine.report_progress(progress, 1, false));
    EXPECT_TRUE(sink.reports.empty());
    // Within the interval nothing more is sent.
    EXPECT_TRUE(engine.report_progress(progress, 1, false));
    EXPECT_TRUE(sink.reports.empty());
    std::this_thread::sleep_for(110ms);
    EXPECT_TRUE(engine.report_progress(progress, 1, false));
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0].percent, 25);
    // The same percentage is not sent twice.
    std::this_thread::sleep_for(110ms);
    engine.report_progress(progress, 1, false);
    EXPECT_EQ(sink.reports.size(), 1u);
    // The final report always ends with 100, whatever was reached.
    engine.report_progress(progress, 1, true);
    ASSERT_EQ(sink.reports.size(), 2u);
    EXPECT_EQ(sink.reports[1].percent, 100);
}

TEST_F(EngineBehaviour, ProgressIsTheTimelineReachedElseTheBytesRead) {
    struct Case {
        const char* name;
        std::int64_t duration, position, total_bytes, bytes_read;
        int expected;
    };
    constexpr std::int64_t gigabyte = 1024LL * 1024 * 1024;
    engine.set_report_interval(0us);
    progress.callback = &sink;
    engine.report_progress(progress, 1, false); // starts the clock
    for (const Case& c : {
             Case{"unknown duration: bytes", 0, 0, 10000000, 2500000, 25},
             // Sound of a video: the time converted counts, not the share of its bytes.
             Case{"timeline", 300000000, 150000000, 90000000, 4000000, 50},
             Case{"six gigabytes", 0, 0, 6 * gigabyte, 4 * gigabyte + gigabyte / 2, 75},
             // An estimated duration overshot, a reading that seeks back: never back, and
             // 100 only when done.
             Case{"estimate overshot", 10000000, 12000000, 0, 0, 99},
             Case{"going back", 0, 0, 10000000, 1000000, 99},
             Case{"nothing known", 0, 0, 0, 0, 99},
         }) {
        SCOPED_TRACE(c.name);
        progress.duration = c.duration;
        progress.position = c.position;
        progress.total_bytes = c.total_bytes;
        progress.bytes_read = c.bytes_read;
        engine.report_progress(progress, 1, false);
        EXPECT_EQ(progress.last_percent, c.expected);
    }
}

TEST_F(EngineBehaviour, SoundOfALongVideoProgressesWithItsTime) {
    // Nearly all of the bytes are pictures (every one a JPEG), which a sound-only conversion
    // reads past.
    MediaDescription description = mp4_h264_aac(320, 240, {25, 1}, 120.0);
    description.video->codec = AV_CODEC_ID_MJPEG;
    const auto input = folder.file("long.mp4");
    write_media(input, description);
    engine.set_report_interval(1ms);
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(convert(input, folder.file("long.mp3"),
                      [&] {
                          engine.options().video_disable = true;
                          engine.options().audio_codec_override = AV_CODEC_ID_MP3;
                      }),
              0)
        << messages;
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_GE(sink.reports.size(), 50u);
    for (std::size_t index = 1; index < sink.reports.size(); ++index) {
        EXPECT_GE(sink.reports[index].percent, sink.reports[index - 1].percent);
    }
    EXPECT_GE(sink.reports[sink.reports.size() - 2].percent, 90);
    // Half way in time is about half way in the percentage.
    const auto half = std::find_if(sink.reports.begin(), sink.reports.end(),
                                   [](const RecordingSink::Report& r) { return r.percent >= 50; });
    const double share = std::chrono::duration<double>(half->when - began) / (ended - began);
    EXPECT_GT(share, 0.25);
    EXPECT_LT(share, 0.75);
}

TEST_F(EngineBehaviour, StopLeavesACompleteShorterFile) {
    // Long enough to outlast the half second before the first report, on a quiet machine too.
    const auto input = folder.file("long.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 150.0));
    const auto output = folder.file("long-out.mp4");
    sink.answer = [](int) { return false; };
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;

    ASSERT_GE(sink.reports.size(), 2u);
    EXPECT_LT(sink.reports.front().percent, 100);
    EXPECT_EQ(sink.reports.back().percent, 100);
    const MediaInfo info = inspect_media(output);
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_EQ(info.streams.size(), 2u);
    EXPECT_GT(info.stream(AVMEDIA_TYPE_VIDEO).packets.size(), 0u);
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 125.0);
    // Both streams stop where the reading stopped, give or take the input's interleaving.
    EXPECT_NEAR(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(),
                info.stream(AVMEDIA_TYPE_AUDIO).end_seconds(), 0.5);
}

TEST_F(EngineBehaviour, ReportsOfAConversionArePacedAndRising) {
    const auto input = folder.file("long.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 40.0));
    const auto output = folder.file("long-out.mp4");
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(convert(input, output, [&] { set_video_player_options("320x240"); }), 0) << messages;
    ASSERT_FALSE(sink.reports.empty());
    EXPECT_EQ(sink.reports.back().percent, 100);
    // The first report of an engine's life waits out the throttle.
    EXPECT_GE(sink.reports.front().when - started, 500ms);
    // Periodic reports rise and are half a second apart; the final report may add the
    // percentage reached right before its 100.
    for (std::size_t index = 1; index + 2 < sink.reports.size(); ++index) {
        EXPECT_GT(sink.reports[index].percent, sink.reports[index - 1].percent);
        EXPECT_GE(sink.reports[index].when - sink.reports[index - 1].when, 490ms);
    }
    for (std::size_t index = 1; index < sink.reports.size(); ++index) {
        EXPECT_GT(sink.reports[index].percent, sink.reports[index - 1].percent);
    }
}

} // namespace
} // namespace morvane::test
