// SPDX-License-Identifier: GPL-3.0-or-later
// One file through the whole job: checks, options per device, naming, conversion.
#include "engine/progress_sink.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
#include "jobs/output_mark.h"
#include "jobs/tag_file.h"
#include "platform/sanitizers.h"
#include "support/decoded_audio.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/progress_sinks.h"
#include "support/stream_decoder.h"
#include "support/temp_folder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace morvane {
namespace {

using test::AlwaysGoOn;
using test::StopAt;

using test::inspect_media;
using test::MediaInfo;
using test::write_media;

class ConversionJobTest : public testing::Test {
protected:
    ConversionJobTest() {
        devices = device_table("/nowhere/");
        std::filesystem::create_directory(output_folder());
    }

    std::string output_folder() const { return folder.path().string() + "/out/"; }

    JobOutcome convert(const std::filesystem::path& input, int device_row) {
        return job.convert_one(input.string(), devices[static_cast<std::size_t>(device_row)],
                               output_folder(), &callback);
    }

    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(output_folder())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder folder;
    Engine engine;
    ConversionJob job{engine};
    DeviceTable devices;
    AlwaysGoOn callback;
};

TEST_F(ConversionJobTest, PhoneGetsLandscapeMpeg4WithAac) {
    const auto input = folder.file("clip.mp4");
    write_media(input, test::mp4_h264_aac(640, 480, {25, 1}, 1.0));
    const JobOutcome outcome = convert(input, 0);
    ASSERT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, output_folder() + "clip.mp4");
    const MediaInfo info = inspect_media(outcome.output_path);
    const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(video.width, 480);
    EXPECT_EQ(video.height, 320);
    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{25, 1}), 0); // the source's
    const auto& audio = info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio.codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(audio.channels, 2);
}

TEST_F(ConversionJobTest, SoundOnlyFilesBecomeMp3KeepingOrChangingTheirShape) {
    const auto input = folder.file("tone.wav");
    write_media(input, test::wav_pcm(22050, 1, 1.0));

    // The audio-only player keeps the source's channels and rate.
    const JobOutcome shuffle = convert(input, 3);
    ASSERT_TRUE(shuffle.converted()) << shuffle.reason;
    EXPECT_EQ(shuffle.output_path, output_folder() + "tone.mp3");
    const MediaInfo kept_info = inspect_media(shuffle.output_path);
    const auto& kept = kept_info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(kept.codec_id, AV_CODEC_ID_MP3);
    EXPECT_EQ(kept.channels, 1);
    EXPECT_EQ(kept.sample_rate, 22050);

    // The handheld asks for two channels at 24000 Hz; the same input gets the next name.
    const JobOutcome handheld = convert(input, 4);
    ASSERT_TRUE(handheld.converted()) << handheld.reason;
    EXPECT_EQ(handheld.output_path, output_folder() + "tone_0.mp3");
    const MediaInfo changed_info = inspect_media(handheld.output_path);
    const auto& changed = changed_info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(changed.channels, 2);
    EXPECT_EQ(changed.sample_rate, 24000);
}

// The sound frames of a file as the ffmpeg tool hashes them, packet for packet.
std::string sound_frames_md5(const std::string& path) {
    const std::string command =
        "ffmpeg -nostdin -v error -i '" + path + "' -map 0:a:0 -c:a copy -f md5 - 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 128> line{};
    if (!pipe || std::fgets(line.data(), line.size(), pipe.get()) == nullptr) {
        return {};
    }
    return std::string(line.data());
}

// A song the player plays as it is is copied, not encoded a second time: its frames bit for
// bit, with the tags, cover and mark a conversion gives, and found again on a rerun. Anything
// else, and a damaged MP3, is converted.
TEST_F(ConversionJobTest, SongsThePlayerPlaysAreCopiedFrameForFrame) {
    constexpr int phone = 0, nano = 1, shuffle = 3, psp = 4;
    const auto song = [&](const char* name, test::MediaDescription description, int rate,
                          long long bit_rate) {
        description.audio[0].sample_rate = rate;
        description.audio[0].bit_rate = bit_rate;
        description.audio[0].duration_seconds = 3.0;
        write_media(folder.file(name), description);
        if (description.format_name == "mp3" || description.format_name == "ipod") {
            EXPECT_FALSE(write_file_tags(folder.file(name).string(), {{"TITLE", {"Intro"}}}, {}));
        }
        return folder.file(name);
    };
    const auto mp3_128k = song("128k.mp3", test::mp3_with_cover_art(3.0), 44100, 128000);
    const auto mp3_320k = song("320k-48k.mp3", test::mp3_audio(48000, 2, 3.0), 48000, 320000);
    // MPEG-2 layer III: Apple's "8 to 320 Kbps" holds its rates, Sony's 24 kHz conversions it.
    const auto mp3_22k = song("mono-22k.mp3", test::mp3_audio(22050, 1, 3.0), 22050, 64000);
    const auto wav = song("tone.wav", test::wav_pcm(44100, 2, 3.0), 44100, 0);
    test::MediaDescription aac = test::mp4_h264_aac(160, 120, {25, 1}, 3.0);
    aac.video.reset();
    aac.format_name = "ipod";
    const auto m4a = song("song.m4a", aac, 44100, 128000);
    test::MediaDescription flac = test::wav_pcm(96000, 2, 3.0);
    flac.format_name = "flac";
    flac.audio[0].codec = AV_CODEC_ID_FLAC;
    const auto hi_res = song("hi-res.flac", flac, 96000, 0);
    const auto damaged = folder.file("damaged.mp3");
    test::write_damaged_copy(mp3_320k, damaged, 4096, 0.5);

    struct Case {
        std::filesystem::path input;
        int device;
        bool copied;
    };
    int run = 0;
    for (const Case& c :
         {Case{mp3_128k, nano, true}, Case{mp3_128k, shuffle, true}, Case{mp3_128k, psp, true},
          Case{mp3_320k, nano, true}, Case{mp3_320k, shuffle, true}, Case{mp3_320k, psp, true},
          Case{mp3_22k, nano, true}, Case{mp3_22k, psp, true}, Case{wav, nano, false},
          Case{m4a, phone, false}, Case{hi_res, shuffle, false}, Case{damaged, nano, false}}) {
        const DeviceProfile& device = devices[static_cast<std::size_t>(c.device)];
        SCOPED_TRACE(c.input.filename().string() + " on " + device.display_name);
        const std::string out = output_folder() + std::to_string(run++);
        std::filesystem::create_directory(out);
        job.set_skip_existing(false);
        const JobOutcome outcome = job.convert_one(c.input.string(), device, out, &callback);
        ASSERT_TRUE(outcome.has_complete_output()) << outcome.reason;
        const MediaInfo source = inspect_media(c.input);
        const MediaInfo made = inspect_media(outcome.output_path);
        EXPECT_EQ(made.stream(AVMEDIA_TYPE_AUDIO).codec_id, AV_CODEC_ID_MP3);
        const std::optional<OutputMark> mark = read_output_mark(outcome.output_path);
        ASSERT_TRUE(mark);
        EXPECT_EQ(mark->source, outcome.source);
        EXPECT_EQ(mark->state, OutputMark::State::complete);
        std::optional<FileTags> tags = read_file_tags(outcome.output_path);
        ASSERT_TRUE(tags);
        if (const std::optional<FileTags> given = read_file_tags(c.input.string());
            given && given->properties.count("TITLE") != 0) {
            EXPECT_EQ(tags->properties["TITLE"], std::vector<std::string>{"Intro"});
        }
        if (!c.copied) {
            EXPECT_EQ(outcome.status, JobStatus::converted);
            EXPECT_NE(sound_frames_md5(outcome.output_path), sound_frames_md5(c.input));
            continue;
        }
        EXPECT_EQ(outcome.status, JobStatus::copied);
        EXPECT_EQ(outcome.reason, "copied: already plays on the " + device.display_name);
        EXPECT_FALSE(sound_frames_md5(c.input).empty());
        EXPECT_EQ(sound_frames_md5(outcome.output_path), sound_frames_md5(c.input));
        // One Xing frame, the muxer's: the length reads as the source's, within a frame.
        const auto& sound = source.stream(AVMEDIA_TYPE_AUDIO);
        EXPECT_NEAR(made.duration_seconds, source.duration_seconds, 1152.0 / sound.sample_rate);
        EXPECT_EQ(made.stream(AVMEDIA_TYPE_AUDIO).sample_rate, sound.sample_rate);
        EXPECT_EQ(made.streams.size(), source.streams.size()); // the cover, where there is one
        // A rerun finds the copy as it finds a conversion.
        job.set_skip_existing(true);
        const JobOutcome rerun = job.convert_one(c.input.string(), device, out, &callback);
        EXPECT_EQ(rerun.status, JobStatus::skipped);
        EXPECT_EQ(rerun.output_path, outcome.output_path);
        EXPECT_TRUE(rerun.has_complete_output());
    }
}

TEST_F(ConversionJobTest, VideoSettingsOfAnEarlierFileDoNotLeakIntoASoundFile) {
    const auto clip = folder.file("clip.mp4");
    write_media(clip, test::mp4_h264_aac(320, 240, {25, 1}, 0.5));
    const auto tone = folder.file("tone.wav");
    write_media(tone, test::wav_pcm(44100, 2, 0.5));
    ASSERT_TRUE(convert(clip, 1).converted());
    const JobOutcome second = convert(tone, 1);
    ASSERT_TRUE(second.converted()) << second.reason;
    EXPECT_EQ(std::filesystem::path(second.output_path).extension(), ".mp3");
    EXPECT_EQ(inspect_media(second.output_path).streams.size(), 1u);
}

TEST_F(ConversionJobTest, RefusedFilesGiveTheirReasonAndLeaveNothingBehind) {
    const auto not_media = folder.file("notes.txt");
    { std::ofstream(not_media) << "shopping list\n"; }
    const auto pipe = folder.file("pipe.mp4"); // nobody ever writes to it
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A "song" that is a playlist naming a private file beside it.
    write_media(folder.file("private.mp3"), test::mp3_audio(44100, 2, 0.5));
    const auto playlist = folder.file("song.mp3");
    std::ofstream(playlist) << "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:0.5,\nprivate.mp3\n"
                               "#EXT-X-ENDLIST\n";
    const auto empty = folder.file("empty.mp3");
    std::ofstream{empty};

    struct Case {
        std::filesystem::path input;
        const char* reason;
    };
    for (const Case& c : {Case{not_media, "nothing in it can be read as audio or video"},
                          Case{folder.path(), "is a folder"}, Case{pipe, "not a regular file"},
                          Case{folder.file("gone.wav"), "no such file"},
                          Case{playlist, "refused: a playlist that names other files (hls)"},
                          Case{empty, "empty file"}}) {
        SCOPED_TRACE(c.input.string());
        const JobOutcome outcome = convert(c.input, 0);
        EXPECT_FALSE(outcome.converted());
        EXPECT_EQ(outcome.reason, c.reason);
    }
    EXPECT_TRUE(outputs().empty());
}

// Whatever FFmpeg decodes converts, well beyond the formats the players take themselves; a
// film without sound gets a silent sound track for the video players, and has nothing to
// give a player of sound alone.
TEST_F(ConversionJobTest, EverySoundFFmpegDecodesAndASilentFilmConvert) {
    struct Case {
        const char* name;
        AVCodecID codec;
        const char* encoder;
        const char* format;
        int sample_rate;
    };
    for (const Case& c : {Case{"song.flac", AV_CODEC_ID_FLAC, "", "flac", 44100},
                          Case{"song.ogg", AV_CODEC_ID_VORBIS, "libvorbis", "ogg", 44100},
                          Case{"song.opus", AV_CODEC_ID_OPUS, "libopus", "ogg", 48000},
                          Case{"song.mp2", AV_CODEC_ID_MP2, "", "mp2", 44100},
                          Case{"song.m4a", AV_CODEC_ID_ALAC, "", "ipod", 44100}}) {
        SCOPED_TRACE(c.name);
        test::MediaDescription description = test::wav_pcm(c.sample_rate, 2, 1.0);
        description.format_name = c.format;
        description.audio[0].codec = c.codec;
        description.audio[0].encoder_name = c.encoder;
        write_media(folder.file(c.name), description);
        for (const int row : {3, 1}) {
            const JobOutcome outcome = convert(folder.file(c.name), row);
            ASSERT_TRUE(outcome.converted()) << outcome.reason;
            const MediaInfo info = inspect_media(outcome.output_path);
            ASSERT_EQ(info.streams.size(), 1u);
            EXPECT_EQ(info.stream(AVMEDIA_TYPE_AUDIO).codec_id, AV_CODEC_ID_MP3);
            EXPECT_NEAR(info.duration_seconds, 1.0, 0.1);
        }
    }

    test::MediaDescription description = test::mp4_h264_aac(320, 240, {25, 1}, 1.0);
    description.audio.clear();
    write_media(folder.file("silent.mp4"), description);
    const JobOutcome film = convert(folder.file("silent.mp4"), 1);
    ASSERT_TRUE(film.converted()) << film.reason;
    const MediaInfo info = inspect_media(film.output_path);
    EXPECT_EQ(info.stream(AVMEDIA_TYPE_VIDEO).codec_id, AV_CODEC_ID_MPEG4);
    const auto& sound = info.stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(sound.codec_id, AV_CODEC_ID_AAC);
    EXPECT_NEAR(sound.end_seconds(), info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 0.05);
    EXPECT_EQ(test::decode_audio(film.output_path).rms(), 0.0);
    EXPECT_EQ(convert(folder.file("silent.mp4"), 3).reason, "no sound to convert");
}

// What each film row's maker publishes for a picture codec the player decodes (the sources are
// named beside the rows, in device_table.cpp).
struct PublishedLimits {
    int row;
    const char* codec; // as --video-codec names it
    AVCodecID codec_id;
    int profile;   // the most capable profile the player decodes
    int max_level; // FF_LEVEL_UNKNOWN: none published
    int max_width, max_height;
    int max_rate;             // bits in any one second (a tenth more is let through)
    int max_reference_frames; // 0: none published
};

constexpr AVCodecID mpeg4 = AV_CODEC_ID_MPEG4;
constexpr AVCodecID h264 = AV_CODEC_ID_H264;
constexpr int simple = FF_PROFILE_MPEG4_SIMPLE;
constexpr int no_level = FF_LEVEL_UNKNOWN;

constexpr PublishedLimits published_limits[] = {
    {0, "mpeg4", mpeg4, simple, no_level, 640, 480, 2500000, 0},
    {0, "h264", h264, FF_PROFILE_H264_BASELINE, 30, 640, 480, 2500000, 1},
    {1, "mpeg4", mpeg4, simple, no_level, 640, 480, 2500000, 0},
    {1, "h264", h264, FF_PROFILE_H264_BASELINE, 30, 640, 480, 2500000, 1},
    // The 5th generation's limits, the lowest of the iPods in the row.
    {2, "mpeg4", mpeg4, simple, no_level, 480, 480, 2500000, 0},
    {2, "h264", h264, FF_PROFILE_H264_BASELINE, 30, 640, 480, 1500000, 1},
    // Sony's 768 kb/s is not held against the MPEG-4 row, which has always had 1 Mb/s.
    {4, "mpeg4", mpeg4, simple, no_level, 368, 208, 1000000, 0},
    // Level 2.1's decoded pictures hold one of the whole 480x272 screen.
    {4, "h264", h264, FF_PROFILE_H264_MAIN, 21, 480, 272, 768000, 1},
};

// The owner's choices each row is converted with: the row's own rate on its screen, and the
// largest it offers (the highest step, for a television where the player plays one).
struct FilmChoice {
    std::optional<VideoQuality> quality;
    PictureSize size;
};
constexpr FilmChoice film_choices[] = {{std::nullopt, PictureSize::screen},
                                       {VideoQuality::highest, PictureSize::tv}};
constexpr VideoQuality quality_steps[] = {VideoQuality::highest, VideoQuality::higher,
                                          VideoQuality::normal, VideoQuality::lower};

// Every film row, in every picture codec it plays, with the row's own rate and with its
// highest quality step on a television's frame (every step within the row's maximum, each
// below the one before), keeps within what its player decodes, as FFmpeg reads the output
// back: codec, profile, level, size, frame rate, reference frames, no
// B-frames, no second of pictures beyond 1.1 times the published maximum on the hardest
// content there is (noise over the whole picture, unscaled in every row's frame: MPEG-4 at its
// coarsest takes several times the maximum, so pictures are left out), and on the easiest no
// filler and every picture there.
TEST_F(ConversionJobTest, FilmsKeepWithinWhatThePlayersDecode) {
    // At 30 a second, the most pictures any row plays: the hardest second to keep within the rate.
    test::MediaDescription noise = test::mp4_h264_aac(320, 208, {30, 1}, 1.5);
    noise.video->codec = AV_CODEC_ID_MJPEG; // keeps the noise as noise
    noise.video->pattern = test::MediaDescription::Video::Pattern::noise;
    write_media(folder.file("noise.mp4"), noise);
    write_media(folder.file("still.mp4"), test::mp4_h264_aac(640, 480, {25, 1}, 1.0));
    for (const PublishedLimits& limits : published_limits) {
        const DeviceProfile& device = devices[static_cast<std::size_t>(limits.row)];
        SCOPED_TRACE(device.display_name + " " + limits.codec);
        const FilmFormat* film = device.film_format(limits.codec);
        ASSERT_EQ(film->codec, limits.codec);
        int step_rate = film->max_rate + 1;
        for (const VideoQuality step : quality_steps) {
            EXPECT_LT(film->average_rate(step), step_rate);
            step_rate = film->average_rate(step);
            EXPECT_GT(step_rate, 0);
        }
        for (const FilmChoice& choice : film_choices) {
            SCOPED_TRACE(choice.size == PictureSize::tv ? "highest, television" : "own rate");
            ConversionChoices choices;
            choices.video_codec = limits.codec;
            choices.quality = choice.quality;
            choices.picture_size = choice.size;
            job.set_choices(choices);
            const FilmFrame film_frame = film->frame(choice.size);
            const int bit_rate = film->average_rate(choice.quality);
            for (const char* name : {"noise.mp4", "still.mp4"}) {
                SCOPED_TRACE(name);
                const JobOutcome outcome = convert(folder.file(name), limits.row);
                ASSERT_TRUE(outcome.converted()) << outcome.reason;
                EXPECT_EQ(outcome.video_codec, limits.codec);
                const MediaInfo info = inspect_media(outcome.output_path);
                const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
                EXPECT_EQ(video.codec_id, limits.codec_id);
                EXPECT_LE(video.profile & ~FF_PROFILE_H264_CONSTRAINED, limits.profile);
                if (limits.max_level != FF_LEVEL_UNKNOWN) {
                    EXPECT_LE(video.level, limits.max_level);
                }
                EXPECT_EQ(video.width, film_frame.width);
                EXPECT_EQ(video.height, film_frame.height);
                EXPECT_LE(video.width, limits.max_width);
                EXPECT_LE(video.height, limits.max_height);
                EXPECT_FALSE(video.reordered());
                if (limits.max_reference_frames > 0) {
                    test::StreamDecoder decoder(outcome.output_path, AVMEDIA_TYPE_VIDEO);
                    test::av::FramePtr frame(av_frame_alloc());
                    ASSERT_TRUE(decoder.next(*frame));
                    EXPECT_LE(decoder.decoder().refs, limits.max_reference_frames);
                }
                EXPECT_LE(video.most_bits_in_a_second(), 1.1 * limits.max_rate);
                EXPECT_LE(film->max_rate, limits.max_rate);
                if (name == std::string("still.mp4")) {
                    EXPECT_LT(video.average_bit_rate(), 0.25 * bit_rate);
                    EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{25, 1}), 0); // the source's
                    EXPECT_LT(video.largest_dts_step_seconds(), 1.5 / 25);
                }
                std::filesystem::remove(outcome.output_path);
            }
        }
    }
}

// One source converted again and again, as a library is: an output is known by its source's
// content and the device it was made for, never by a name or a modification time.
TEST_F(ConversionJobTest, RerunsKnowEachOutputBySourceAndDevice) {
    const auto input = folder.file("tone.wav");
    write_media(input, test::wav_pcm(44100, 2, 10.0));
    job.set_skip_existing(true);
    const std::string tone = output_folder() + "tone.mp3";
    const std::string tone_0 = output_folder() + "tone_0.mp3";
    const auto run = [&](const std::filesystem::path& path, int row, int stop_at) {
        StopAt sink(stop_at);
        return job.convert_one(path.string(), devices[static_cast<std::size_t>(row)],
                               output_folder(), &sink);
    };
    const auto seconds_in = [](const std::string& path) {
        return inspect_media(path).duration_seconds;
    };

    // Cut short, then cut shorter: the longer cut stays; then a whole run replaces it.
    JobOutcome outcome = run(input, 3, 60);
    ASSERT_EQ(outcome.status, JobStatus::stopped);
    EXPECT_EQ(outcome.output_path, tone);
    const double first_cut = seconds_in(tone);
    EXPECT_GT(first_cut, 4.0);
    outcome = run(input, 3, 20);
    EXPECT_EQ(outcome.status, JobStatus::stopped);
    EXPECT_EQ(outcome.output_path, tone);
    EXPECT_NEAR(seconds_in(tone), first_cut, 0.1);
    EXPECT_NEAR(outcome.seconds_done, first_cut, 0.2);
    outcome = run(input, 3, 101);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, tone);
    EXPECT_NEAR(seconds_in(tone), 10.0, 0.1);

    // A copy elsewhere, touched: the same source.
    const auto copy = folder.file("copy/tone.wav");
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(input, copy);
    std::filesystem::last_write_time(copy, std::filesystem::file_time_type::clock::now());
    outcome = run(copy, 3, 101);
    EXPECT_EQ(outcome.status, JobStatus::skipped);
    EXPECT_EQ(outcome.output_path, tone);
    EXPECT_EQ(outcome.reason, "already converted: " + tone);

    // Another device that gets another file (the handheld's 24 kHz): a new output.
    outcome = run(input, 4, 101);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, tone_0);

    // The source changed where it lies: its outputs for that device are replaced, the copy's
    // stays theirs.
    write_media(input, test::wav_pcm(44100, 2, 3.0));
    outcome = run(input, 3, 101);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, tone);
    EXPECT_NEAR(seconds_in(tone), 3.0, 0.1);
    EXPECT_EQ(run(copy, 3, 101).status, JobStatus::converted);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"tone.mp3", "tone_0.mp3", "tone_1.mp3"}));

    // A cut input stays incomplete, with its reason, and makes no second file.
    const auto whole = folder.file("whole.mp3");
    write_media(whole, test::mp3_audio(44100, 2, 4.0));
    const auto cut = folder.file("cut.mp3");
    test::write_truncated_copy(whole, cut, 0.3);
    const JobOutcome incomplete = run(cut, 3, 101);
    ASSERT_EQ(incomplete.status, JobStatus::incomplete) << incomplete.reason;
    outcome = run(cut, 3, 101);
    EXPECT_EQ(outcome.status, JobStatus::incomplete);
    EXPECT_EQ(outcome.reason, incomplete.reason);
    EXPECT_EQ(outcome.output_path, incomplete.output_path);
    EXPECT_EQ(outputs().size(), 4u);

    // Video output is decided by what the file holds: the same name as a sound file is no
    // reason to skip a clip.
    const auto clip = folder.file("tone.mp4");
    write_media(clip, test::mp4_h264_aac(320, 240, {25, 1}, 0.5));
    EXPECT_TRUE(convert(clip, 1).converted());
    EXPECT_TRUE(std::filesystem::exists(output_folder() + "tone.mp4"));

    // The picture's codec and profile are part of what an output is for: an H.264 film is
    // not the MPEG-4 one; the iPod classic gets the very file the nano got.
    ConversionChoices h264_films;
    h264_films.video_codec = "h264";
    job.set_choices(h264_films);
    outcome = convert(clip, 1);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, output_folder() + "tone_0.mp4");
    EXPECT_EQ(outcome.target, "mp4 h264 baseline 3.0 320x240 aac 44100x2 25fps");
    outcome = convert(clip, 2);
    EXPECT_EQ(outcome.status, JobStatus::skipped);
    EXPECT_EQ(outcome.output_path, output_folder() + "tone_0.mp4");
    EXPECT_EQ(outcome.video_codec, "h264");

    // A quality step is another output, and so is a television's frame; the nano and the
    // classic still share each.
    const auto ends_with = [](const std::string& line, const std::string& end) {
        return line.size() >= end.size() &&
               line.compare(line.size() - end.size(), end.size(), end) == 0;
    };
    h264_films.quality = VideoQuality::normal;
    job.set_choices(h264_films);
    outcome = convert(clip, 1);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, output_folder() + "tone_1.mp4");
    EXPECT_TRUE(ends_with(outcome.target, " quality normal 620kb/s")) << outcome.target;
    h264_films.picture_size = PictureSize::tv;
    job.set_choices(h264_films);
    outcome = convert(clip, 1);
    EXPECT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, output_folder() + "tone_2.mp4");
    EXPECT_NE(outcome.target.find(" 640x480 "), std::string::npos) << outcome.target;
    EXPECT_EQ(convert(clip, 2).output_path, output_folder() + "tone_2.mp4");
}

// What describes a song goes whole into the output, whatever format it came in.
TEST_F(ConversionJobTest, TagsGoWholeIntoMp3AndMp4) {
    const auto song = folder.file("song.flac");
    // Long enough for its loudness to be measured (blocks of 0.4 s).
    test::MediaDescription flac = test::wav_pcm(44100, 2, 1.0);
    flac.format_name = "flac";
    flac.audio[0].codec = AV_CODEC_ID_FLAC;
    flac.tags = {
        {"TITLE", "Morning"}, {"ARTIST", "Ann"},   {"ALBUMARTIST", "Various"}, {"COMPOSER", "Ben"},
        {"COMPILATION", "1"}, {"LYRICS", "la la"}, {"ARTISTSORT", "Ann, The"}, {"TRACKNUMBER", "3"},
        {"TRACKTOTAL", "12"}, {"DISCNUMBER", "2"}, {"DISCTOTAL", "2"},         {"GENRE", "Jazz"},
        {"DATE", "1999"}};
    write_media(song, flac);
    // Matroska: tags TagLib cannot read, taken from what FFmpeg reads.
    const auto clip = folder.file("clip.mkv");
    test::MediaDescription film = test::mp4_h264_aac(320, 240, {25, 1}, 0.5);
    film.format_name = "matroska";
    film.tags = {{"title", "Morning"},        {"artist", "Ann"},
                 {"album_artist", "Various"}, {"composer", "Ben"},
                 {"compilation", "1"},        {"lyrics", "la la"},
                 {"track", "3/12"},           {"disc", "2/2"},
                 {"genre", "Jazz"},           {"date", "1999"},
                 {"sort_artist", "Ann, The"}, {"REPLAYGAIN_TRACK_GAIN", "-3.20 dB"}};
    write_media(clip, film);
    for (const auto& [input, row] : {std::pair{song, 3}, std::pair{clip, 1}}) {
        SCOPED_TRACE(input);
        const JobOutcome outcome = convert(input, row);
        ASSERT_TRUE(outcome.converted()) << outcome.reason;
        std::optional<FileTags> tags = read_file_tags(outcome.output_path);
        ASSERT_TRUE(tags);
        for (const auto& [key, value] : {std::pair{"TITLE", "Morning"},
                                         {"ALBUMARTIST", "Various"},
                                         {"COMPOSER", "Ben"},
                                         {"COMPILATION", "1"},
                                         {"LYRICS", "la la"},
                                         {"ARTISTSORT", "Ann, The"},
                                         {"TRACKNUMBER", "3/12"},
                                         {"DISCNUMBER", "2/2"},
                                         {"GENRE", "Jazz"},
                                         {"DATE", "1999"}}) {
            EXPECT_EQ(first_tag(tags->properties, key), value) << key;
        }
        // Loudness the source states is kept; else it is measured: a sine at half of full
        // scale on both channels is about -6.7 LUFS, 11 dB above the reference.
        const std::string gain = first_tag(tags->properties, "REPLAYGAIN_TRACK_GAIN");
        if (input == clip) {
            EXPECT_EQ(gain, "-3.20 dB");
        } else {
            EXPECT_NEAR(std::strtod(gain.c_str(), nullptr), -11.3, 1.0) << gain;
        }
        const std::optional<OutputMark> mark = read_output_mark(outcome.output_path);
        ASSERT_TRUE(mark);
        EXPECT_EQ(mark->source, outcome.source);
        EXPECT_EQ(mark->target, outcome.target);
        EXPECT_EQ(mark->state, OutputMark::State::complete);
    }
}

TEST_F(ConversionJobTest, NamesOutsideAsciiConvert) {
    const auto input = folder.file("Lied über Brücken – 北.wav");
    write_media(input, test::wav_pcm(44100, 2, 0.3));
    const JobOutcome outcome = convert(input, 3);
    ASSERT_TRUE(outcome.converted()) << outcome.reason;
    EXPECT_EQ(outcome.output_path, output_folder() + "Lied über Brücken – 北.mp3");
}

TEST_F(ConversionJobTest, FailedConversionRemovesItsPartialOutput) {
    const auto input = folder.file("clip.mp4");
    write_media(input, test::mp4_h264_aac(320, 240, {25, 1}, 0.5));
    DeviceProfile broken = devices[1];
    broken.films.front().encoder.name = "vp6"; // nothing encodes it
    const JobOutcome outcome = job.convert_one(input.string(), broken, output_folder(), &callback);
    EXPECT_FALSE(outcome.converted());
    EXPECT_FALSE(outcome.reason.empty()); // the engine's own words
    EXPECT_TRUE(outputs().empty());
}

TEST_F(ConversionJobTest, MissingOutputFolderFailsTheFile) {
    const auto input = folder.file("tone.wav");
    write_media(input, test::wav_pcm(44100, 2, 0.3));
    const JobOutcome outcome =
        job.convert_one(input.string(), devices[3], folder.path().string() + "/gone/", &callback);
    EXPECT_FALSE(outcome.converted());
    EXPECT_EQ(outcome.reason, "cannot write in the output folder: No such file or directory");
}

// The frequency of the first channel's tone within 0.1 s of `seconds`, from its rising zero
// crossings; 0 where it is silent.
double tone_at(const test::DecodedAudio& sound, double seconds) {
    const auto rate = sound.sample_rate();
    const auto from = static_cast<std::int64_t>((seconds - 0.1) * rate);
    const auto to = static_cast<std::int64_t>((seconds + 0.1) * rate);
    std::int64_t first = -1, last = -1, crossings = 0;
    for (std::int64_t at = std::max<std::int64_t>(from, 1); at < std::min(to, sound.frame_count());
         ++at) {
        const auto channels = static_cast<std::size_t>(sound.channels());
        const float before = sound.samples()[static_cast<std::size_t>(at - 1) * channels];
        const float now = sound.samples()[static_cast<std::size_t>(at) * channels];
        if (before <= 0 && now > 0) {
            first = first < 0 ? at : first;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : static_cast<double>(crossings - 1) * rate / (last - first);
}

// Recordings joined, dropouts, times hours off and cut files, as broadcast and damaged media
// come: every track as long as the input's, the rising tone where it was, and the outcome
// honest.
TEST_F(ConversionJobTest, JoinsDropoutsAndBadTimesKeepEveryTrackInPlace) {
    constexpr int nano = 1, shuffle = 3, psp = 4;
    // A tone that rises 100 Hz a second from 300 Hz: its pitch tells where in time it is.
    const auto rising = [](test::MediaDescription::Audio& audio, double rise = 100.0) {
        audio.tone_hz = 300.0;
        audio.tone_rise_hz_per_second = rise;
        audio.sample_rate = 48000;
    };
    const auto join = [&](const char* name, const std::vector<test::MediaDescription>& parts) {
        const auto joined = folder.file(name);
        std::ofstream out(joined, std::ios::binary);
        for (std::size_t index = 0; index < parts.size(); ++index) {
            const auto part = folder.file("part" + std::to_string(index));
            write_media(part, parts[index]);
            out << std::ifstream(part, std::ios::binary).rdbuf();
        }
        return joined;
    };
    const auto film = [&](double seconds, const char* format) {
        test::MediaDescription description = test::mp4_h264_aac(160, 120, {25, 1}, seconds);
        description.format_name = format;
        rising(description.audio[0]);
        return description;
    };
    // A TV recording whose sound turns from 5.1 to stereo after 3 s.
    test::MediaDescription surround = film(3.0, "mpegts");
    surround.audio[0].channels = 6;
    const auto broadcast = join("broadcast.ts", {surround, film(3.0, "mpegts")});
    // Two songs of different shapes, joined either way round.
    test::MediaDescription stereo = test::mp3_audio(44100, 2, 3.0);
    rising(stereo.audio[0]);
    stereo.audio[0].sample_rate = 44100;
    test::MediaDescription mono = test::mp3_audio(22050, 1, 3.0);
    rising(mono.audio[0]);
    mono.audio[0].sample_rate = 22050;
    const auto songs = join("songs.mp3", {stereo, mono});
    const auto songs_reversed = join("songs-reversed.mp3", {mono, stereo});
    // 15 s without sound in the middle of a transport stream.
    test::MediaDescription dropout = film(25.0, "mpegts");
    rising(dropout.audio[0], 20.0);
    dropout.audio[0].gap_from_seconds = 5.0;
    dropout.audio[0].gap_to_seconds = 20.0;
    const auto dropout_ts = folder.file("dropout.ts");
    write_media(dropout_ts, dropout);
    // One sound packet an hour ahead; one packet of each stream 31 hours ahead.
    test::MediaDescription hour_ahead = film(6.0, "matroska");
    hour_ahead.stamped_ahead = {{AVMEDIA_TYPE_AUDIO, 2.0, 3600.0}};
    const auto hour_ahead_mkv = folder.file("hour-ahead.mkv");
    write_media(hour_ahead_mkv, hour_ahead);
    test::MediaDescription far_ahead = film(6.0, "matroska");
    far_ahead.stamped_ahead = {{AVMEDIA_TYPE_AUDIO, 3.0, 31 * 3600.0},
                               {AVMEDIA_TYPE_VIDEO, 3.0, 31 * 3600.0}};
    const auto far_ahead_mkv = folder.file("far-ahead.mkv");
    write_media(far_ahead_mkv, far_ahead);
    const auto whole_ts = folder.file("whole.ts");
    write_media(whole_ts, film(6.0, "mpegts"));
    const auto cut_ts = folder.file("cut.ts");
    test::write_truncated_copy(whole_ts, cut_ts, 0.6);

    struct Case {
        const char* name;
        std::filesystem::path input;
        int device;
        JobStatus status;
        double seconds;                               // of every output track
        std::vector<std::pair<double, double>> tones; // where, and what pitch
    };
    for (const Case& c : {
             Case{"5.1 to stereo, PSP",
                  broadcast,
                  psp,
                  JobStatus::converted,
                  6.0,
                  {{1.5, 450}, {4.0, 400}, {5.5, 550}}},
             Case{"5.1 to stereo, nano",
                  broadcast,
                  nano,
                  JobStatus::converted,
                  6.0,
                  {{1.5, 450}, {4.0, 400}, {5.5, 550}}},
             Case{"44.1 kHz stereo then 22.05 kHz mono",
                  songs,
                  shuffle,
                  JobStatus::converted,
                  6.0,
                  {{1.5, 450}, {4.5, 450}}},
             Case{"22.05 kHz mono then 44.1 kHz stereo",
                  songs_reversed,
                  shuffle,
                  JobStatus::converted,
                  6.0,
                  {{1.5, 450}, {4.5, 450}}},
             Case{"Musepack SV8",
                  std::filesystem::path(MORVANE_TEST_DATA_DIR) / "fixture-sv8.mpc",
                  shuffle,
                  JobStatus::converted,
                  0.55,
                  {{0.3, 440}}},
             Case{"15 s sound dropout in TS",
                  dropout_ts,
                  nano,
                  JobStatus::converted,
                  25.0,
                  {{3.0, 360}, {12.0, 0}, {22.0, 740}}},
             Case{"sound packet an hour ahead",
                  hour_ahead_mkv,
                  nano,
                  JobStatus::converted,
                  6.0,
                  {{5.0, 800}}},
             Case{"a packet of each stream 31 h ahead",
                  far_ahead_mkv,
                  nano,
                  JobStatus::converted,
                  6.0,
                  {{5.0, 800}}},
             Case{"cut TS", cut_ts, nano, JobStatus::incomplete, 0, {}},
         }) {
        SCOPED_TRACE(c.name);
        const JobOutcome outcome = convert(c.input, c.device);
        ASSERT_EQ(outcome.status, c.status) << outcome.reason;
        ASSERT_FALSE(outcome.output_path.empty());
        const MediaInfo info = inspect_media(outcome.output_path);
        const test::DecodedAudio sound = test::decode_audio(outcome.output_path);
        if (c.seconds > 0) {
            EXPECT_NEAR(sound.seconds(), c.seconds, 0.1);
            if (info.count(AVMEDIA_TYPE_VIDEO) > 0) {
                const double picture = info.stream(AVMEDIA_TYPE_VIDEO).end_seconds();
                EXPECT_NEAR(picture, c.seconds, 0.1);
                EXPECT_NEAR(info.stream(AVMEDIA_TYPE_AUDIO).end_seconds(), picture, 0.04);
            }
        }
        for (const auto& [seconds, pitch] : c.tones) {
            EXPECT_NEAR(tone_at(sound, seconds), pitch, 12.0) << "at " << seconds << " s";
        }
        std::filesystem::remove(outcome.output_path);
    }
}

// Half an hour without sound is filled a second at a time: memory stays small, and a stop
// during the fill is heard at once.
TEST_F(ConversionJobTest, ALongGapIsFilledStepByStepAndHearsAStop) {
    test::MediaDescription description = test::mp4_h264_aac(160, 120, {25, 1}, 4.0);
    description.format_name = "matroska";
    description.audio[0].sample_rate = 48000;
    description.audio[0].duration_seconds = 1801.0;
    description.audio[0].gap_from_seconds = 3.0;
    description.audio[0].gap_to_seconds = 1800.0;
    const auto input = folder.file("gap.mkv");
    write_media(input, description);

    class StopDuringTheFill : public ProgressSink {
    public:
        StopDuringTheFill() : ProgressSink(std::chrono::milliseconds(1)) {}
        bool on_progress(int percent) override {
            if (percent < 2 || percent == 100) {
                return true;
            }
            if (!asked) {
                asked = std::chrono::steady_clock::now();
            }
            return false;
        }
        std::optional<std::chrono::steady_clock::time_point> asked;
    } sink;
    const JobOutcome outcome = job.convert_one(input.string(), devices[1], output_folder(), &sink);
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_EQ(outcome.status, JobStatus::stopped) << outcome.reason;
    ASSERT_TRUE(sink.asked);
    EXPECT_LT(ended - *sink.asked, std::chrono::seconds(2));
    EXPECT_LT(inspect_media(outcome.output_path).stream(AVMEDIA_TYPE_AUDIO).end_seconds(), 1700.0);
#if !MORVANE_ADDRESS_SANITIZER && !MORVANE_THREAD_SANITIZER // they multiply memory
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "kilobytes";
#endif
}

} // namespace
} // namespace morvane
