// morvane-convert end to end: the real program over real-world and generated media, for
// each kind of device; its report, its exit status, its output folder.
#include "process_runner.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/temp_folder.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace morvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string program = MORVANE_CONVERT_PATH;
const fs::path data = MORVANE_TEST_DATA_DIR;

struct Device {
    const char* name;
    bool plays_video;
    int width, height;   // of video outputs
    int sample_rate;     // 0: the source's
    bool keeps_channels; // audio-only player: the source's channel count
};

// What the program printed for each file: "<input> -> <output>" or "<input>: <reason>".
std::map<std::string, std::string> outcomes(const std::string& output,
                                            const std::vector<std::string>& inputs) {
    std::map<std::string, std::string> found;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        for (const std::string& input : inputs) {
            if (line.rfind(input + " -> ", 0) == 0 || line.rfind(input + ": ", 0) == 0) {
                found.emplace(input, line.substr(input.size()));
            }
        }
    }
    return found;
}

class ConvertCommand : public testing::TestWithParam<Device> {
protected:
    static void SetUpTestSuite() {
        media = new TempFolder;
        auto make = [](const char* name, const MediaDescription& description) {
            write_media(media->file(name), description);
            return media->file(name).string();
        };
        generated = {
            make("odd.mp4", mp4_h264_aac(175, 143, {25, 1}, 1.0)),
            make("fast.mp4", mp4_h264_aac(640, 480, {60, 1}, 1.0)),
            make("mono48k.wav", wav_pcm(48000, 1, 1.0)),
            make("song.mp3", mp3_audio(44100, 2, 1.0)),
            make("two-tracks.mp4", mp4_two_audio_tracks(1.0)),
            make("data.ts", ts_data_only(1.0)),
            make("dvd.mpg", mpeg_ps_mpeg2_mp2(352, 288, {25, 1}, 1.0)),
        };
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }

    std::vector<std::string> environment() const {
        return {"XDG_DATA_HOME=" + folder.path().string() + "/data"};
    }

    static inline TempFolder* media = nullptr;
    static inline std::vector<std::string> generated;
    TempFolder folder;
};

TEST_P(ConvertCommand, EveryFileIsConvertedForTheDeviceOrListedWithItsReason) {
    const Device& device = GetParam();
    std::vector<std::string> inputs;
    for (const char* name :
         {"fixture.mkv", "fixture.wmv.asf", "fixture-bad-offset.mp3", "fixture.wav", "fixture.ogg",
          "fixture.ps.mpg", "fixture-corrupt.mkv", "fixture.flv"}) {
        inputs.push_back((data / name).string());
    }
    inputs.insert(inputs.end(), generated.begin(), generated.end());
    const std::string out = folder.path().string() + "/out";

    std::vector<std::string> arguments = {program, "--device", device.name, "--output-dir", out};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const ProcessResult run = run_process(arguments, environment());
    EXPECT_EQ(run.exit_status, 1) << run.output;

    const auto printed = outcomes(run.output, inputs);
    const std::map<std::string, std::string> refusals = {
        {"fixture.ogg", ": unsupported audio codec vorbis"},
        {"fixture.ps.mpg", ": unsupported audio codec mp2"},
        {"dvd.mpg", ": unsupported audio codec mp2"},
        {"fixture-corrupt.mkv", ": cannot read this file"},
        {"fixture.flv", ": no sound to convert"},
        {"data.ts", ": no sound to convert"},
    };
    std::set<fs::path> written;
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const std::string name = fs::path(input).filename().string();
        ASSERT_EQ(printed.count(input), 1u) << run.output;
        const std::string& outcome = printed.at(input);
        if (refusals.count(name) != 0) {
            EXPECT_EQ(outcome, refusals.at(name));
            continue;
        }
        ASSERT_EQ(outcome.rfind(" -> " + out + "/", 0), 0u) << outcome;
        const fs::path output = outcome.substr(4);
        written.insert(output);

        const MediaInfo source = inspect_media(input);
        const MediaInfo result = inspect_media(output);
        const auto& source_audio = source.stream(AVMEDIA_TYPE_AUDIO);
        const bool video_output = device.plays_video && source.count(AVMEDIA_TYPE_VIDEO) > 0;
        const int expected_rate =
            device.sample_rate != 0 ? device.sample_rate : source_audio.sample_rate;
        const int expected_channels = device.keeps_channels ? source_audio.channels : 2;
        if (video_output) {
            EXPECT_EQ(output.extension(), ".mp4");
            ASSERT_EQ(result.streams.size(), 2u);
            const auto& video = result.stream(AVMEDIA_TYPE_VIDEO);
            EXPECT_EQ(video.codec_id, AV_CODEC_ID_MPEG4);
            EXPECT_EQ(video.width, device.width);
            EXPECT_EQ(video.height, device.height);
            EXPECT_EQ(av_cmp_q(video.avg_frame_rate, AVRational{30000, 1001}), 0);
            const auto& audio = result.stream(AVMEDIA_TYPE_AUDIO);
            EXPECT_EQ(audio.codec_id, AV_CODEC_ID_AAC);
            EXPECT_EQ(audio.channels, expected_channels);
            EXPECT_EQ(audio.sample_rate, expected_rate);
        } else {
            EXPECT_EQ(output.extension(), ".mp3");
            // Sound only; a cover picture may come along.
            ASSERT_EQ(result.count(AVMEDIA_TYPE_AUDIO) + result.count(AVMEDIA_TYPE_VIDEO), 1);
            const auto& audio = result.stream(AVMEDIA_TYPE_AUDIO);
            EXPECT_EQ(audio.codec_id, AV_CODEC_ID_MP3);
            EXPECT_EQ(audio.channels, expected_channels);
            EXPECT_EQ(audio.sample_rate, expected_rate);
        }
    }

    // Exactly the outputs reported: a refused or failed file leaves nothing behind.
    std::set<fs::path> present;
    for (const auto& entry : fs::directory_iterator(out)) {
        present.insert(entry.path());
    }
    EXPECT_EQ(present, written);
}

INSTANTIATE_TEST_SUITE_P(Devices, ConvertCommand,
                         testing::Values(Device{"iphone", true, 480, 320, 0, false},
                                         Device{"nano", true, 320, 240, 0, false},
                                         Device{"psp", true, 368, 208, 24000, false},
                                         Device{"shuffle", false, 0, 0, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class ConvertCommandUse : public testing::Test {
protected:
    std::vector<std::string> environment() const {
        return {"XDG_DATA_HOME=" + folder.path().string() + "/data"};
    }
    std::string tone(const std::string& name) {
        write_media(folder.file(name), wav_pcm(44100, 2, 0.3));
        return folder.file(name).string();
    }
    TempFolder folder;
};

TEST_F(ConvertCommandUse, UsageMistakesExitWithTwo) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{program},
                                                      {program, "--device", "zune", "a.wav"},
                                                      {program, "--speed", "a.wav"}}) {
        const ProcessResult run = run_process(arguments, environment());
        EXPECT_EQ(run.exit_status, 2) << run.output;
        EXPECT_NE(run.output.find("Usage: morvane-convert"), std::string::npos);
    }
    EXPECT_EQ(run_process({program, "--version"}).output, "morvane-convert 1.0.7\n");
    const ProcessResult devices = run_process({program, "--list-devices"});
    EXPECT_EQ(devices.exit_status, 0);
    EXPECT_NE(devices.output.find("4  Sony PSP"), std::string::npos);
}

TEST_F(ConvertCommandUse, MissingOutputFolderIsCreatedAndAllConvertedExitsWithZero) {
    const std::string out = folder.path().string() + "/new/deeper";
    const std::string input = tone("a.wav");
    const ProcessResult run =
        run_process({program, "--device", "3", "--output-dir", out, input}, environment());
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find(input + " -> " + out + "/a.mp3"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(out + "/a.mp3"));
}

TEST_F(ConvertCommandUse, DefaultsComeFromTheSettingsBesideTheProgram) {
    // A copy of the program in a folder of its own, with the desktop program's settings.
    const fs::path installed = folder.path() / "app";
    fs::create_directory(installed);
    fs::copy_file(program, installed / "morvane-convert");
    const std::string chosen = folder.path().string() + "/chosen/";
    fs::create_directory(chosen);
    const std::string settings = "[Common]\nOutputFolder=" + chosen + "\nDeviceIndex=4\n";
    { std::ofstream(installed / "config.ini") << settings; }

    const std::string input = tone("b.wav");
    const ProcessResult run =
        run_process({(installed / "morvane-convert").string(), input}, environment());
    EXPECT_EQ(run.exit_status, 0) << run.output;
    const MediaInfo info = inspect_media(chosen + "b.mp3");
    EXPECT_EQ(info.stream(AVMEDIA_TYPE_AUDIO).sample_rate, 24000); // the handheld's rate
    std::ifstream file(installed / "config.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), settings); // untouched
}

TEST_F(ConvertCommandUse, InterruptStopsLikeTheStopButton) {
    write_media(folder.file("long.mp4"), mp4_h264_aac(640, 480, {25, 1}, 90.0));
    const std::string input = folder.file("long.mp4").string();
    const std::string later = tone("later.wav");
    const std::string out = folder.path().string() + "/out";
    const ProcessResult run =
        run_process({program, "--device", "nano", "--output-dir", out, input, later}, environment(),
                    [](pid_t child) {
                        std::this_thread::sleep_for(500ms);
                        kill(child, SIGINT);
                    });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    EXPECT_NE(run.output.find(later + ": left out after the stop"), std::string::npos)
        << run.output;
    const MediaInfo info = inspect_media(out + "/long.mp4");
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 80.0);
    EXPECT_FALSE(fs::exists(out + "/later.mp3"));
}

} // namespace
} // namespace morvane::test
