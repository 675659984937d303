// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's contract with its caller: what it refuses and why, failures, progress and stop.
#include "conversion_fixture.h"
#include "support/decoded_audio.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"

#include <cmath>
#include <fstream>
#include <random>

namespace morvane::test {
namespace {

using namespace std::chrono_literals;

class EngineBehaviour : public ConversionTest {};

// A damaged file of a format its content shows keeps FFmpeg's words; a file whose content is no
// format at all (text, random bytes, whatever its name says) is said to be no media.
TEST_F(EngineBehaviour, InputsThatCannotBeOpenedSayWhy) {
    const auto good = folder.file("good.mp4");
    write_media(good, mp4_h264_aac(320, 240, {25, 1}, 1.0));
    const auto truncated = folder.file("truncated.mp4");
    write_truncated_copy(good, truncated, 0.5);
    const auto random_bytes = [&](const std::string& name, int count) {
        std::mt19937 generator(7);
        std::ofstream out(folder.file(name), std::ios::binary);
        for (int index = 0; index < count; ++index) {
            out.put(static_cast<char>(generator() & 0xff));
        }
        return folder.file(name);
    };
    const auto text = [&](const std::string& name, const std::string& contents) {
        std::ofstream(folder.file(name)) << contents;
        return folder.file(name);
    };
    std::string lines;
    for (int line = 0; line < 5000; ++line) {
        lines += "a shopping list, line " + std::to_string(line) + "\n";
    }
    const auto empty = folder.file("empty.mp4");
    { std::ofstream out(empty); }
    const std::string not_media = "nothing in it can be read as audio or video";
    const std::vector<std::pair<std::filesystem::path, std::string>> cases = {
        {std::filesystem::path(MORVANE_TEST_DATA_DIR) / "fixture-corrupt.mkv",
         "Invalid data found when processing input"},
        {truncated, "Invalid data found when processing input"},
        {random_bytes("noise.avi", 100000), not_media},
        // The reader the name chooses: it fails ("Invalid argument"), or finds no stream.
        {random_bytes("noise.mp3", 30000), not_media},
        {random_bytes("long noise.mp3", 300000), not_media},
        {random_bytes("noise.mkv", 100000), not_media},
        {random_bytes("noise.mp4", 100000), not_media},
        {text("notes.txt", "shopping list\n"), not_media},
        {text("notes.mkv", "shopping list\n"), not_media},
        {text("notes.mp3", lines), not_media},
        {text("page.mp4", "<html><body>not a film</body></html>\n"), not_media},
        {empty, "empty file"},
        {folder.path(), "is a folder"},
        {folder.file("missing.mp4"), "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path.string());
        MediaInput input;
        EXPECT_EQ(input.open(path.string()), reason);
    }
}

// A conversion that cannot be made says why; the engine deletes nothing (the caller owns
// the output file).
TEST_F(EngineBehaviour, ConversionsThatCannotBeMadeSayWhy) {
    const auto tone = folder.file("tone.wav");
    write_media(tone, wav_pcm(44100, 2, 0.5));
    const auto data = folder.file("data.ts");
    write_media(data, ts_data_only(1.0));
    const auto pictures_of_sound = [](const MediaInput& in) {
        ConversionPlan plan = song(in);
        plan.container = "mp4";
        plan.picture.emplace().encoder.name = "mpeg4";
        plan.picture->frame_width = plan.picture->picture_width = 320;
        plan.picture->frame_height = plan.picture->picture_height = 240;
        return plan;
    };
    const auto sound_of_data = [](const MediaInput&) {
        ConversionPlan plan;
        plan.container = "mp3";
        plan.sound.emplace().encoder.name = "libmp3lame";
        return plan;
    };
    // The plan names its container and encoders: a name or an option nothing knows is said,
    // never guessed around or passed over.
    const auto unknown_muxer = [](const MediaInput& in) {
        ConversionPlan plan = song(in);
        plan.container = "nothing-knows-this";
        return plan;
    };
    const auto unknown_option = [](const MediaInput& in) {
        ConversionPlan plan = song(in);
        plan.sound->encoder.options = {{"no_such_option", "1"}};
        return plan;
    };
    struct Case {
        std::filesystem::path input;
        std::string output;
        PlanOf plan_of;
        std::string reason;
    };
    for (const Case& c : {
             Case{tone, folder.file("tone.mp3").string(), unknown_muxer,
                  "no muxer is called \"nothing-knows-this\""},
             Case{tone, folder.file("tone.mp3").string(), unknown_option,
                  "the encoder libmp3lame takes no no_such_option=1 (Option not found)"},
             Case{tone, folder.file("no-such-folder/tone.mp3").string(),
                  [](const MediaInput& in) { return song(in); }, "No such file or directory"},
             Case{tone, folder.file("tone.mp4").string(), pictures_of_sound,
                  "the input has no stream for the output's video"},
             Case{data, folder.file("data.mp3").string(), sound_of_data,
                  "the input has no stream for the output's audio"},
         }) {
        SCOPED_TRACE(c.output);
        const ConversionResult result = convert(c.input, c.output, c.plan_of);
        EXPECT_EQ(result.status, ConversionResult::Status::failed);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.packets_written, 0);
    }
}

TEST_F(EngineBehaviour, WriteFailureOnTheLastPacketFailsWithItsReason) {
    const auto input = folder.file("clip.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 2.0));
    const auto output = folder.file("clip-out.mp4");
    // A first run counts the packets; the second finds the disk full on the last one.
    const ConversionResult first = convert(input, output, nano_film);
    ASSERT_TRUE(converted(first)) << first.reason;
    const std::int64_t packets = first.packets_written;
    ASSERT_GT(packets, 10);
    std::int64_t seen = 0;
    engine.set_packet_muxer([&](AVFormatContext* container, AVPacket* packet) {
        if (++seen == packets) {
            av_packet_unref(packet);
            return AVERROR(ENOSPC);
        }
        return av_interleaved_write_frame(container, packet);
    });
    const ConversionResult second = convert(input, output, nano_film);
    EXPECT_EQ(second.status, ConversionResult::Status::failed);
    EXPECT_EQ(seen, packets);
    EXPECT_EQ(second.reason, "No space left on device");
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
        ASSERT_TRUE(converts(input, output, nano_film));
        const MediaInfo info = inspect_media(output);
        EXPECT_TRUE(info.read_error.empty());
        EXPECT_TRUE(info.stream(AVMEDIA_TYPE_VIDEO).dts_strictly_increasing());
        EXPECT_TRUE(info.stream(AVMEDIA_TYPE_AUDIO).dts_strictly_increasing());
        std::filesystem::remove(output);
    }
}

// A recording's sound may start long after the first seconds that the probe reads (7 s of an
// MPEG-TS), and a declared picture track may carry nothing at all: the sound is found and kept
// in its place, a picture track without pictures is no picture.
TEST_F(EngineBehaviour, LateOrMissingTracksOfATransportStreamAreFoundOrLeftOut) {
    constexpr double film_seconds = 25.0;
    struct Case {
        const char* name;
        double sound_from; // seconds
        bool pictures;
    };
    for (const Case& c : {Case{"sound-10s-late", 10.0, true}, Case{"sound-20s-late", 20.0, true},
                          Case{"no-picture", 0.0, false}}) {
        SCOPED_TRACE(c.name);
        MediaDescription description = mp4_h264_aac(64, 48, {25, 1}, film_seconds);
        description.format_name = "mpegts";
        description.audio[0].sample_rate = 48000;
        description.audio[0].gap_to_seconds = c.sound_from;
        if (!c.pictures) {
            description.video->gap_to_seconds = film_seconds; // declared, never written
        }
        const auto input = folder.file(std::string(c.name) + ".ts");
        write_media(input, description);

        MediaInput opened;
        ASSERT_FALSE(opened.open(input.string()));
        ASSERT_TRUE(opened.sound());
        EXPECT_EQ(opened.sound()->sample_rate, 48000);
        EXPECT_EQ(opened.sound()->channels, 2);
        EXPECT_EQ(opened.picture().has_value(), c.pictures);
        if (opened.picture()) {
            EXPECT_EQ(opened.picture()->width, 64);
        }

        const auto output = folder.file(std::string(c.name) + (c.pictures ? ".mp4" : ".mp3"));
        ASSERT_TRUE(converts(input, output, [&](const MediaInput& in) {
            return c.pictures ? nano_film(in) : song(in);
        }));
        const MediaInfo info = inspect_media(output);
        EXPECT_EQ(info.count(AVMEDIA_TYPE_VIDEO), c.pictures ? 1 : 0);
        // Where the tone starts: in a film where the source's does, give or take a frame; in
        // a song (sound only) at once.
        const DecodedAudio sound = decode_audio(output);
        std::int64_t first = 0;
        while (first < sound.frame_count() &&
               std::abs(sound.samples()[static_cast<std::size_t>(first * sound.channels())]) <
                   0.1F) {
            ++first;
        }
        EXPECT_NEAR(static_cast<double>(first) / sound.sample_rate(), c.sound_from, 0.04);
        EXPECT_NEAR(sound.seconds(), film_seconds - (c.pictures ? 0.0 : c.sound_from), 0.1);
    }
}

TEST_F(EngineBehaviour, ReportsArePacedRisingAndEndWithAHundred) {
    const auto input = folder.file("clip.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 6.0));
    RecordingSink paced(40ms);
    MediaInput opened;
    ASSERT_FALSE(opened.open(input.string()));
    const auto started = std::chrono::steady_clock::now();
    const ConversionResult result =
        engine.convert(opened, folder.file("out.mp4").string(), film(opened), &paced);
    ASSERT_TRUE(converted(result)) << result.reason;
    ASSERT_GE(paced.reports.size(), 3u);
    EXPECT_EQ(paced.reports.back().percent, 100);
    // The first report waits out one interval; the others come an interval apart at least,
    // only when the percentage changed; the final report may add the percentage reached
    // right before its 100.
    EXPECT_GE(paced.reports.front().when - started, 40ms);
    for (std::size_t index = 1; index < paced.reports.size(); ++index) {
        EXPECT_GT(paced.reports[index].percent, paced.reports[index - 1].percent);
        if (index + 2 < paced.reports.size()) {
            EXPECT_GE(paced.reports[index].when - paced.reports[index - 1].when, 39ms);
        }
    }
}

TEST_F(EngineBehaviour, SoundOfALongVideoProgressesWithItsTime) {
    // Nearly all of the bytes are pictures (every one a JPEG), which a sound-only conversion
    // reads past.
    MediaDescription description = mp4_h264_aac(320, 240, {25, 1}, 120.0);
    description.video->codec = AV_CODEC_ID_MJPEG;
    const auto input = folder.file("long.mp4");
    write_media(input, description);
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(
        converts(input, folder.file("long.mp3"), [](const MediaInput& in) { return song(in); }));
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
    const auto input = folder.file("long.mp4");
    write_media(input, mp4_h264_aac(640, 480, {25, 1}, 20.0));
    const auto output = folder.file("long-out.mp4");
    // At the very first report: the sound may not have given a frame yet, and the film still
    // keeps a sound track.
    sink.answer = [](int) { return false; };
    const ConversionResult result = convert(input, output, nano_film);
    EXPECT_EQ(result.status, ConversionResult::Status::stopped) << result.reason;

    ASSERT_GE(sink.reports.size(), 2u);
    EXPECT_LT(sink.reports.front().percent, 100);
    EXPECT_EQ(sink.reports.back().percent, 100);
    const MediaInfo info = inspect_media(output);
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_EQ(info.streams.size(), 2u);
    EXPECT_GT(info.stream(AVMEDIA_TYPE_VIDEO).packets.size(), 0u);
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 15.0);
    EXPECT_NEAR(result.seconds_reached, info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 0.5);
    // Both streams stop where the reading stopped, give or take the input's interleaving.
    EXPECT_NEAR(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(),
                info.stream(AVMEDIA_TYPE_AUDIO).end_seconds(), 0.5);
}

} // namespace
} // namespace morvane::test
