// SPDX-License-Identifier: GPL-3.0-or-later
// A film's picture through the whole job, on films the ffmpeg tool makes: its own frame rate,
// black bars cut away, the screen filled when asked, and its chapters carried over.
#include "engine/progress_sink.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
#include "support/media_info.h"
#include "support/progress_sinks.h"
#include "support/stream_decoder.h"
#include "support/temp_folder.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace morvane {
namespace {

using test::AlwaysGoOn;
using test::StopAt;

using test::inspect_media;

constexpr int phone_row = 0;
constexpr int nano_row = 1;
constexpr int psp_row = 4;

// Runs the ffmpeg tool quietly with `arguments` (paths quoted by the caller).
bool ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments;
    return std::system(command.c_str()) == 0;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// A film of the moving test pattern (every picture differs from the one before) at `rate`,
// shaped by `filters` (or not), with a tone: `seconds` long, H.264 with a keyframe every
// second in `path`'s container.
bool make_film(const std::filesystem::path& path, const std::string& size, const std::string& rate,
               const std::string& filters = {}, double seconds = 4.0,
               const std::string& more = {}) {
    const std::string length = std::to_string(seconds);
    return ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=" + rate + ":duration=" + length +
                  " -f lavfi -i sine=frequency=440:duration=" + length + " " + more +
                  (filters.empty() ? "" : " -vf '" + filters + "'") +
                  " -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac " +
                  quoted(path));
}

// Luma of one decoded picture, row by row.
struct Luma {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> samples;

    explicit Luma(const AVFrame& frame) : width(frame.width), height(frame.height) {
        for (int y = 0; y < height; ++y) {
            const unsigned char* row =
                frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
            samples.insert(samples.end(), row, row + width);
        }
    }
    int at(int x, int y) const { return samples[static_cast<std::size_t>(y * width + x)]; }
    // A row or column black as the bands are: nothing in it brighter than dark grey.
    bool black_row(int y) const {
        for (int x = 0; x < width; ++x) {
            if (at(x, y) > 40) {
                return false;
            }
        }
        return true;
    }
    bool black_column(int x) const {
        for (int y = 0; y < height; ++y) {
            if (at(x, y) > 40) {
                return false;
            }
        }
        return true;
    }
    // Whether `other` shows another picture: a thousandth of the samples changed by more than
    // coding noise.
    bool differs_from(const Luma& other) const {
        std::size_t changed = 0;
        for (std::size_t index = 0; index < samples.size(); ++index) {
            changed += std::abs(samples[index] - other.samples[index]) > 16 ? 1 : 0;
        }
        return changed * 1000 > samples.size();
    }
};

// Every picture of a film's output, decoded.
std::vector<Luma> pictures_of(const std::string& path) {
    test::StreamDecoder decoder(path, AVMEDIA_TYPE_VIDEO);
    test::av::FramePtr frame(av_frame_alloc());
    std::vector<Luma> pictures;
    while (decoder.next(*frame)) {
        pictures.emplace_back(*frame);
        av_frame_unref(frame.get());
    }
    return pictures;
}

class FilmPicture : public testing::Test {
protected:
    FilmPicture() {
        devices = device_table("/nowhere/");
        std::filesystem::create_directory(output_folder());
    }
    std::string output_folder() const { return folder.path().string() + "/out/"; }
    JobOutcome convert(const std::filesystem::path& input, int row, ProgressSink* sink = nullptr) {
        AlwaysGoOn go_on;
        return job.convert_one(input.string(), devices[static_cast<std::size_t>(row)],
                               output_folder(), sink != nullptr ? sink : &go_on);
    }

    test::TempFolder folder;
    Engine engine;
    ConversionJob job{engine};
    DeviceTable devices;
};

// A steady rate up to 30 is kept; a faster one is halved (never pulled to 29.97); a phone's
// variable rate becomes the slowest standard rate that loses no picture. No picture is shown
// twice, a keyframe comes every two seconds of the new rate, and the target line names the
// rate only where it is not the 29.97 every film used to have.
TEST_F(FilmPicture, FilmsKeepTheirOwnFrameRate) {
    struct Case {
        const char* source_rate;
        AVRational output_rate;
        bool variable;
    };
    for (const Case& c : {Case{"24000/1001", {24000, 1001}, false}, Case{"25", {25, 1}, false},
                          Case{"30000/1001", {30000, 1001}, false}, Case{"50", {25, 1}, false},
                          Case{"60000/1001", {30000, 1001}, false},
                          // Pictures 30 and 40 ms apart in turn, 28.6 a second.
                          Case{"25", {30000, 1001}, true}}) {
        SCOPED_TRACE(std::string(c.source_rate) + (c.variable ? " variable" : ""));
        const std::filesystem::path input = folder.file("rate.mp4");
        ASSERT_TRUE(c.variable ? make_film(input, "320x240", "1000",
                                           "select=not(mod(n\\,35))+not(mod(n+5\\,35)),"
                                           "setpts=(floor(N/2)*70+mod(N\\,2)*30)/1000/TB",
                                           3.0, "-fps_mode vfr")
                               : make_film(input, "320x240", c.source_rate, {}, 3.0));
        const JobOutcome outcome = convert(input, nano_row);
        ASSERT_TRUE(outcome.converted()) << outcome.reason;
        const test::MediaInfo info = inspect_media(outcome.output_path);
        const auto& video = info.stream(AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(av_cmp_q(video.avg_frame_rate, c.output_rate), 0)
            << video.avg_frame_rate.num << "/" << video.avg_frame_rate.den;
        const bool standard = c.output_rate.num == 30000 && c.output_rate.den == 1001;
        EXPECT_EQ(outcome.target.find("fps") == std::string::npos, standard) << outcome.target;
        std::vector<double> keyframes;
        for (const auto& packet : video.packets) {
            if (packet.key) {
                keyframes.push_back(static_cast<double>(packet.pts) * av_q2d(video.time_base));
            }
        }
        ASSERT_GE(keyframes.size(), 2U);
        EXPECT_NEAR(keyframes[1] - keyframes[0], 2.0, av_q2d(av_inv_q(c.output_rate)));
        if (!c.variable) {
            const std::vector<Luma> pictures = pictures_of(outcome.output_path);
            ASSERT_GT(pictures.size(), 60U);
            for (std::size_t index = 1; index + 1 < pictures.size(); ++index) {
                EXPECT_TRUE(pictures[index].differs_from(pictures[index - 1])) << index;
            }
        }
        std::filesystem::remove(outcome.output_path);
    }
}

// Bars baked into the picture are cut away before it is fitted: a 4:3 picture between bars in
// a 16:9 frame fills the nano's 4:3 screen, a 2.35:1 film in a 4:3 frame fills the phone's
// width; a dark film without bars is not cropped; with "fill" a 16:9 picture loses its sides
// on the nano instead of gaining bands. No black row or column lies inside the picture.
TEST_F(FilmPicture, BlackBarsAreCutAndTheScreenFilledWhenAsked) {
    struct Case {
        const char* name;
        const char* size;
        const char* filters;
        int row;
        bool fill;
        const char* crop; // as the outcome says it, or "" for none
        int black_rows;   // of the output's frame, bands above and below together
    };
    for (const Case& c :
         {Case{"pillarbox.mp4", "480x360", "pad=640:360:80:0", nano_row, false,
               "cropped 480×360 from 640×360", 0},
          Case{"letterbox.mkv", "640x272", "pad=640:480:0:104", phone_row, false,
               "cropped 640×272 from 640×480", 320 - 204},
          Case{"dark.mp4", "480x360", "lutyuv=y=val/4", nano_row, false, "", 0},
          Case{"wide.mp4", "640x360", "", nano_row, true, "cropped 480×360 from 640×360", 0}}) {
        SCOPED_TRACE(c.name);
        ConversionChoices choices;
        choices.fill = c.fill;
        job.set_choices(choices);
        const std::filesystem::path input = folder.file(c.name);
        ASSERT_TRUE(make_film(input, c.size, "25", c.filters, 6.0));
        const JobOutcome outcome = convert(input, c.row);
        ASSERT_TRUE(outcome.converted()) << outcome.reason;
        EXPECT_EQ(outcome.crop, c.crop);
        EXPECT_EQ(outcome.target.find(" crop ") != std::string::npos, c.crop[0] != '\0')
            << outcome.target;
        const std::vector<Luma> pictures = pictures_of(outcome.output_path);
        ASSERT_FALSE(pictures.empty());
        const Luma& picture = pictures[pictures.size() / 2];
        if (c.crop[0] == '\0') {
            continue; // dark all over: its rows and columns are not the bands'
        }
        int black_rows = 0;
        for (int y = 0; y < picture.height; ++y) {
            black_rows += picture.black_row(y) ? 1 : 0;
        }
        // The bands lie along the edges only.
        for (int y = black_rows / 2 + 1; y < picture.height - black_rows / 2 - 1; ++y) {
            EXPECT_FALSE(picture.black_row(y)) << "row " << y;
        }
        EXPECT_NEAR(black_rows, c.black_rows, 2);
        for (int x = 0; x < picture.width; ++x) {
            EXPECT_FALSE(picture.black_column(x)) << "column " << x;
        }
        std::filesystem::remove(outcome.output_path);
    }
}

// One chapter as ffprobe reads it back.
struct Chapter {
    double start = 0;
    double end = 0;
    std::string title;
};

std::vector<Chapter> chapters_of(const std::string& path) {
    const std::string command = "ffprobe -v error -show_entries "
                                "chapter=start_time,end_time:chapter_tags=title -of "
                                "compact=p=0:nk=1 '" +
                                path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<Chapter> chapters;
    std::array<char, 512> line{};
    while (pipe && std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        Chapter chapter;
        char title[256] = {};
        if (std::sscanf(line.data(), "%lf|%lf|%255[^\n]", &chapter.start, &chapter.end, title) >=
            2) {
            chapter.title = title;
            chapters.push_back(chapter);
        }
    }
    return chapters;
}

// Chapters of MKV and MP4 films go into the output where the players read them, with their
// titles, on the output's timeline (an input that starts at 10 s still starts its first
// chapter at 0); a stopped conversion keeps the chapters it reached and ends the last there.
// The PSP, which shows none, gets none.
TEST_F(FilmPicture, ChaptersGoIntoTheFilm) {
    // Chapters on the file's own timeline, which starts `offset` seconds in.
    const auto film_with_chapters = [this](const char* name, int offset) {
        const std::filesystem::path metadata = folder.file("chapters.txt");
        std::ofstream(metadata) << ";FFMETADATA1\n";
        for (const auto& [start, end, title] :
             {std::tuple{0, 2000, "Opening"}, std::tuple{2000, 4500, "Le milieu, à part"},
              std::tuple{4500, 6000, "End"}}) {
            std::ofstream(metadata, std::ios::app)
                << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" << start + offset * 1000
                << "\nEND=" << end + offset * 1000 << "\ntitle=" << title << "\n";
        }
        return make_film(folder.file(name), "320x240", "25", {}, 6.0,
                         "-i " + quoted(metadata) + " -map 0 -map 1 -map_chapters 2" +
                             (offset != 0 ? " -output_ts_offset " + std::to_string(offset) : ""));
    };
    const std::vector<Chapter> all = {
        {0, 2, "Opening"}, {2, 4.5, "Le milieu, à part"}, {4.5, 6, "End"}};
    ASSERT_TRUE(film_with_chapters("film.mkv", 0));
    ASSERT_TRUE(film_with_chapters("film.mp4", 0));
    ASSERT_TRUE(film_with_chapters("late.mkv", 10));
    struct Case {
        const char* input;
        int row;
        const char* codec;
        bool stop;
    };
    for (const Case& c :
         {Case{"film.mkv", nano_row, "mpeg4", false}, Case{"film.mp4", phone_row, "h264", false},
          Case{"late.mkv", nano_row, "mpeg4", false}, Case{"film.mkv", nano_row, "mpeg4", true},
          Case{"film.mkv", psp_row, "mpeg4", false}}) {
        SCOPED_TRACE(std::string(c.input) + " " + c.codec + (c.stop ? " stopped" : ""));
        ConversionChoices choices;
        choices.video_codec = c.codec;
        job.set_choices(choices);
        StopAt stop(30);
        const JobOutcome outcome = convert(folder.file(c.input), c.row, c.stop ? &stop : nullptr);
        // Matroska states the late film's length from 0: 16 s, of which it holds 6.
        const JobStatus status = c.stop                               ? JobStatus::stopped
                                 : std::string(c.input) == "late.mkv" ? JobStatus::incomplete
                                                                      : JobStatus::converted;
        ASSERT_EQ(outcome.status, status) << outcome.reason;
        const std::vector<Chapter> chapters = chapters_of(outcome.output_path);
        const double end = inspect_media(outcome.output_path).duration_seconds;
        std::size_t expected = 0;
        while (c.row != psp_row && expected < all.size() && all[expected].start < end - 0.01) {
            ++expected;
        }
        ASSERT_EQ(chapters.size(), expected);
        if (c.stop) {
            EXPECT_LT(expected, all.size());
        }
        for (std::size_t index = 0; index < chapters.size(); ++index) {
            EXPECT_EQ(chapters[index].title, all[index].title);
            EXPECT_NEAR(chapters[index].start, all[index].start, 0.05);
            EXPECT_NEAR(chapters[index].end, std::min(all[index].end, end), 0.05);
        }
        std::filesystem::remove(outcome.output_path);
    }
}

} // namespace
} // namespace morvane
