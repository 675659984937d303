// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-convert end to end: the real program over real-world and generated media, for
// each kind of device; its report, its exit status, its output folder.
#include "platform/sanitizers.h"
#include "process_runner.h"
#include "standin_ipod.h"
#include "support/file_damage.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

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

ProcessOptions with_environment(std::vector<std::string> environment) {
    ProcessOptions options;
    options.environment = std::move(environment);
    return options;
}

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
    const ProcessResult run = run_process(arguments, with_environment(environment()));
    EXPECT_EQ(run.exit_status, 1) << run.all();

    const auto printed = outcomes(run.output, inputs);
    std::map<std::string, std::string> refusals = {
        {"fixture-corrupt.mkv", ": Invalid data found when processing input"},
        {"data.ts", ": no sound to convert"},
    };
    if (!device.plays_video) {
        refusals.emplace("fixture.flv", ": no sound to convert"); // a silent film
    }
    std::set<fs::path> written;
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const std::string name = fs::path(input).filename().string();
        ASSERT_EQ(printed.count(input), 1u) << run.all();
        const std::string& outcome = printed.at(input);
        if (refusals.count(name) != 0) {
            EXPECT_EQ(outcome, refusals.at(name));
            continue;
        }
        ASSERT_EQ(outcome.rfind(" -> " + out + "/", 0), 0u) << outcome;
        // Notes on what was chosen or mended follow the output's name: " (English sound)".
        const fs::path output = outcome.substr(4, outcome.find(" (") - 4);
        written.insert(output);

        const MediaInfo source = inspect_media(input);
        const MediaInfo result = inspect_media(output);
        const bool video_output = device.plays_video && source.count(AVMEDIA_TYPE_VIDEO) > 0;
        // A silent film gets a silent sound track of the usual shape.
        const bool sound = source.count(AVMEDIA_TYPE_AUDIO) > 0;
        const int source_rate = sound ? source.stream(AVMEDIA_TYPE_AUDIO).sample_rate : 44100;
        // A song every row plays as it is is copied, its shape kept, and says so.
        const bool copied = outcome.find(" (copied: already plays on the ") != std::string::npos;
        if (name == "song.mp3") {
            EXPECT_TRUE(copied) << outcome;
        }
        const int expected_rate =
            device.sample_rate != 0 && !copied ? device.sample_rate : source_rate;
        const int expected_channels =
            device.keeps_channels || copied ? source.stream(AVMEDIA_TYPE_AUDIO).channels : 2;
        if (video_output) {
            EXPECT_EQ(output.extension(), ".mp4");
            ASSERT_EQ(result.streams.size(), 2u);
            const auto& video = result.stream(AVMEDIA_TYPE_VIDEO);
            EXPECT_EQ(video.codec_id, AV_CODEC_ID_MPEG4);
            EXPECT_EQ(video.width, device.width);
            EXPECT_EQ(video.height, device.height);
            // The film's own rate, within the 30 a second every row's player plays.
            EXPECT_GT(av_q2d(video.avg_frame_rate), 0.0);
            EXPECT_LE(av_cmp_q(video.avg_frame_rate, AVRational{30, 1}), 0);
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
                         [](const auto& test) { return std::string(test.param.name); });

class ConvertCommandUse : public testing::Test {
protected:
    std::vector<std::string> environment() const {
        return {"XDG_DATA_HOME=" + folder.path().string() + "/data",
                "XDG_CONFIG_HOME=" + folder.path().string() + "/config"};
    }
    ProcessResult convert(std::vector<std::string> arguments, ProcessOptions options = {}) {
        arguments.insert(arguments.begin(), {program, "--output-dir", out});
        options.environment = environment();
        return run_process(arguments, options);
    }
    std::string tone(const std::string& name, double seconds = 0.3) {
        fs::create_directories(folder.file(name).parent_path());
        write_media(folder.file(name), wav_pcm(44100, 2, seconds));
        return folder.file(name).string();
    }
    // The visible files of the output folder (hidden ones are temporaries).
    std::set<fs::path> visible_outputs() const {
        std::set<fs::path> found;
        for (const auto& entry : fs::directory_iterator(out)) {
            if (entry.path().filename().string()[0] != '.') {
                found.insert(entry.path());
            }
        }
        return found;
    }
    static void expect_complete(const fs::path& path) {
        SCOPED_TRACE(path);
        try {
            EXPECT_EQ(inspect_media(path).read_error, "");
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }
    TempFolder folder;
    const std::string out = folder.path().string() + "/out";
};

TEST_F(ConvertCommandUse, UsageMistakesGiveOneLineAndExitWithTwo) {
    const std::string stick = folder.file("stick").string();
    fs::create_directories(stick + "/PSP");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{program},
          {program, "--device", "zune", "a.wav"},
          {program, "--send-to", out, "a.wav"},
          {program, "--device", "iphone", "--send-to", stick, "a.wav"},
          {program, "--device", "shuffle", "--video-codec", "h264", "a.wav"},
          {program, "--device", "nano", "--video-codec", "hevc", "a.wav"},
          {program, "--device", "shuffle", "--picture-size", "screen", "a.wav"},
          {program, "--device", "psp", "--picture-size", "tv", "a.wav"},
          {program, "--device", "psp", "--quality", "best", "a.wav"},
          {program, "--language", "fr,xx", "a.wav"},
          {program, "--speed", "a.wav"},
          {program, "-j", "0", "a.wav"},
          {program, "-0", "a.wav"},
          {program, "--files-from", "/no/such/list"}}) {
        const ProcessResult run = run_process(arguments, with_environment(environment()));
        SCOPED_TRACE(arguments.back());
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(run.errors.rfind("morvane-convert: ", 0), 0u) << run.errors;
    }
    EXPECT_NE(run_process({program, "--speed"}).errors.find("try --help"), std::string::npos);
    EXPECT_NE(run_process({program, "--device", "iphone", "--send-to", stick, "a.wav"})
                  .errors.find("--send-to does not work for the iPhone, iPod touch (its media "
                               "library is closed to other programs)"),
              std::string::npos);
    EXPECT_EQ(run_process({program, "--device", "psp", "--picture-size", "tv", "a.wav"}).errors,
              "morvane-convert: the Sony PSP plays no MPEG4 films for a television: "
              "--picture-size tv does not apply to it; try --help\n");
    EXPECT_EQ(run_process({program, "--version"}).output, "morvane-convert 1.0.7\n");
    const ProcessResult devices = run_process({program, "--list-devices"});
    EXPECT_EQ(devices.exit_status, 0);
    EXPECT_NE(devices.output.find("4  Sony PSP"), std::string::npos);
}

TEST_F(ConvertCommandUse, DefaultsComeFromTheDesktopProgramsSettings) {
    const std::string chosen = folder.path().string() + "/chosen"; // no final slash
    fs::create_directories(chosen);
    fs::create_directories(folder.file("config/morvane"));
    const std::string settings = "[Common]\nOutputFolder=" + chosen + "\nDeviceIndex=4\n";
    { std::ofstream(folder.file("config/morvane/config.ini")) << settings; }

    const ProcessResult run =
        run_process({program, tone("b.wav")}, with_environment(environment()));
    EXPECT_EQ(run.exit_status, 0) << run.all();
    const MediaInfo info = inspect_media(chosen + "/b.mp3");
    EXPECT_EQ(info.stream(AVMEDIA_TYPE_AUDIO).sample_rate, 24000); // the handheld's rate
    std::ifstream file(folder.file("config/morvane/config.ini"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), settings); // untouched
}

// Films get the desktop program's picture codec unless the command line names one; the JSON
// record of a film names it, a song's names none.
TEST_F(ConvertCommandUse, TheFilmsCodecComesFromTheSettingsOrTheCommandLine) {
    fs::create_directories(folder.file("config/morvane"));
    { std::ofstream(folder.file("config/morvane/config.ini")) << "[Common]\nVideoCodec=h264\n"; }
    write_media(folder.file("clip.mp4"), mp4_h264_aac(320, 240, {25, 1}, 0.5));
    const std::string clip = folder.file("clip.mp4").string();
    const std::string song = tone("song.wav");
    for (const auto& [option, codec, codec_id] :
         {std::tuple{std::vector<std::string>{}, "h264", AV_CODEC_ID_H264},
          std::tuple{std::vector<std::string>{"--video-codec", "mpeg4"}, "mpeg4",
                     AV_CODEC_ID_MPEG4}}) {
        SCOPED_TRACE(codec);
        std::vector<std::string> arguments = {"--device", "nano", "--json", clip, song};
        arguments.insert(arguments.end(), option.begin(), option.end());
        const ProcessResult run = convert(arguments);
        ASSERT_EQ(run.exit_status, 0) << run.all();
        const auto files = nlohmann::json::parse(run.output)["files"];
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0]["video_codec"], codec);
        EXPECT_FALSE(files[1].contains("video_codec"));
        EXPECT_EQ(inspect_media(files[0]["output"].get<std::string>())
                      .stream(AVMEDIA_TYPE_VIDEO)
                      .codec_id,
                  codec_id);
    }
}

// A tree with media at several depths, and files and folders that are not media.
TEST_F(ConvertCommandUse, FoldersListsSkippingAndJsonAgreeWithTheDisk) {
    const std::string a = tone("tree/a.wav");
    const std::string b = tone("tree/sub/b.wav");
    fs::create_directories(folder.file("tree/sub/deeper"));
    write_media(folder.file("tree/sub/deeper/c.dat"), mp3_audio(44100, 2, 0.3)); // by content
    fs::create_directories(folder.file("tree/empty"));
    { std::ofstream(folder.file("tree/notes.txt")) << "not media\n"; }
    { std::ofstream(folder.file("tree/sub/junk.mp3")) << std::string(5000, '\x5a'); }
    tone("tree/.hidden/x.wav");
    const std::string c = folder.file("tree/sub/deeper/c.dat").string();
    const std::string tree = folder.file("tree").string();

    // Without -r a folder is refused as a folder.
    ProcessResult run = convert({"--device", "shuffle", tree});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.output, tree + ": is a folder\n");

    // A damaged song is a song: it fails with its reason rather than vanishing.
    run = convert({"--device", "shuffle", "-r", "--json", tree});
    EXPECT_EQ(run.exit_status, 1) << run.all();
    const auto document = nlohmann::json::parse(run.output); // stdout: the document alone
    std::set<std::string> inputs;
    for (const auto& file : document["files"]) {
        if (file["input"] == tree + "/sub/junk.mp3") {
            EXPECT_EQ(file["status"], "failed");
            continue;
        }
        inputs.insert(file["input"].get<std::string>());
        // The MP3 found by its content plays on the player as it is.
        EXPECT_EQ(file["status"], file["input"] == c ? "copied" : "converted");
        const std::string output = file["output"];
        EXPECT_TRUE(visible_outputs().count(output)) << output;
        const MediaInfo info = inspect_media(output);
        EXPECT_NEAR(info.stream(AVMEDIA_TYPE_AUDIO).end_seconds(), file["duration"], 0.1);
    }
    EXPECT_EQ(inputs, (std::set<std::string>{a, b, c}));
    EXPECT_EQ(document["passed_over"], nlohmann::json::array({tree + "/notes.txt"})); // not hidden
    EXPECT_EQ(visible_outputs().size(), 3u);
    EXPECT_NE(run.errors.find("1 file passed over"), std::string::npos) << run.errors;

    // An output folder inside the walked tree is not walked: a rerun converts the three inputs
    // again (a_0.mp3, ...), not the outputs of the first run as well.
    const std::string inside = tree + "/converted";
    for (int run_count = 0; run_count < 2; ++run_count) {
        run_process({program, "-q", "-r", "--device", "shuffle", "--output-dir", inside, tree},
                    with_environment(environment()));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(inside), fs::directory_iterator()), 6);
    fs::remove_all(inside);

    // A NUL-separated list on standard input, with names no line-based list could carry; the
    // converted ones are skipped, the new one is converted; stdout holds one line per input.
    const std::string odd = tone("new\nline \x1b[31mred.wav");
    const std::string list = a + '\0' + odd + '\0' + c + '\0' + tree + "/notes.txt" + '\0';
    ProcessOptions piped;
    piped.input = list;
    run = convert({"--device", "shuffle", "--skip-existing", "--files-from", "-", "-0"}, piped);
    EXPECT_EQ(run.exit_status, 1) << run.all();
    const std::string printed_odd = folder.path().string() + "/new\\nline \\x1b[31mred.wav";
    EXPECT_EQ(outcomes(run.output, {a, c, printed_odd, tree + "/notes.txt"}).size(), 4u)
        << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 4) << run.output;
    EXPECT_NE(run.output.find(a + ": skipped (already converted: " + out + "/a.mp3)"),
              std::string::npos);
    EXPECT_NE(run.output.find(printed_odd + " -> " + out + "/new\\nline \\x1b[31mred.mp3"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.all().find('\x1b'), std::string::npos); // no raw escape reached the terminal
    EXPECT_EQ(visible_outputs().size(), 4u);              // nothing converted twice
}

// Stand-in players: a PSP's memory stick takes each converted file into its folder, one whose
// VIDEO/ cannot be written fails the film alone, an iPod says it cannot take files yet.
TEST_F(ConvertCommandUse, ConvertedFilesAreSentToThePlayerOrSayWhyNot) {
    const std::string film = (data / "fixture.mkv").string();
    const std::string sound = (data / "fixture.wav").string();
    const std::string stick = folder.file("stick").string();
    fs::create_directories(stick + "/PSP");
    ProcessResult run = convert({"--device", "psp", "--send-to", stick, "--json", film, sound});
    ASSERT_EQ(run.exit_status, 0) << run.all();
    auto document = nlohmann::json::parse(run.output);
    const std::map<std::string, std::string> landed = {{film, stick + "/VIDEO/fixture.mp4"},
                                                       {sound, stick + "/MUSIC/fixture.mp3"}};
    for (const auto& file : document["files"]) {
        SCOPED_TRACE(file.dump());
        EXPECT_EQ(file["status"], "converted");
        EXPECT_EQ(file["sent_to"], landed.at(file["input"].get<std::string>()));
        std::ifstream output(file["output"].get<std::string>(), std::ios::binary);
        std::ifstream copy(file["sent_to"].get<std::string>(), std::ios::binary);
        EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(output), {},
                               std::istreambuf_iterator<char>(copy), {}));
    }
    EXPECT_EQ(document["summary"]["sent"], 2);
    EXPECT_NE(run.errors.find("2 converted; 2 sent to the player"), std::string::npos)
        << run.errors;

    // A file where VIDEO/ should be: the film fails to go over, the song still does, under
    // its own name although the output folder holds an earlier fixture.mp3.
    const std::string broken = folder.file("broken").string();
    fs::create_directories(broken + "/PSP");
    std::ofstream(broken + "/VIDEO") << "not a folder";
    run = convert({"--device", "psp", "--send-to", broken, "-j1", film, sound});
    EXPECT_EQ(run.exit_status, 1) << run.all();
    const auto printed = outcomes(run.output, {film, sound});
    EXPECT_NE(printed.at(film).find(" (not sent to the player: cannot write in " + broken +
                                    "/VIDEO on the player: Not a directory)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(printed.at(sound).find(" (sent to " + broken + "/MUSIC/fixture.mp3)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.errors.find("1 sent to the player, 1 not sent"), std::string::npos) << run.errors;

    // An iPod (a classic, which signs its database): both land in its library.
    const std::string ipod = folder.file("ipod").string();
    ASSERT_EQ(test::make_standin_ipod(ipod, "MB029", "0x000A27001A2B3C4D"), std::nullopt);
    run = convert({"--device", "classic", "--send-to", ipod, "--json", film, sound});
    ASSERT_EQ(run.exit_status, 0) << run.all();
    document = nlohmann::json::parse(run.output);
    std::set<std::string> sent_to;
    for (const auto& file : document["files"]) {
        SCOPED_TRACE(file.dump());
        const std::string on_ipod = file["sent_to"].get<std::string>();
        EXPECT_EQ(on_ipod.rfind(ipod + "/iPod_Control/Music/", 0), 0u);
        sent_to.insert(on_ipod);
    }
    const auto tracks = test::read_standin_tracks(ipod);
    ASSERT_TRUE(tracks);
    std::set<std::string> in_library;
    for (const auto& track : *tracks) {
        in_library.insert(track.file);
    }
    EXPECT_EQ(in_library, sent_to);
    EXPECT_EQ(sent_to.size(), 2u);
    EXPECT_TRUE(fs::exists(ipod + "/iPod_Control/iTunes/iTunesDB.morvane-backup"));

    // A shuffle plays no video: a film for the nano is refused before it is converted (it
    // could go nowhere), the shuffle's own output of it (its sound) goes.
    const std::string shuffle = folder.file("shuffle").string();
    ASSERT_EQ(test::make_standin_ipod(shuffle, "MA546"), std::nullopt);
    for (const auto& [device, sent] : {std::pair{"nano", false}, std::pair{"shuffle", true}}) {
        SCOPED_TRACE(device);
        fs::remove_all(out);
        run = convert({"--device", device, "--send-to", shuffle, film});
        EXPECT_EQ(run.exit_status, sent ? 0 : 1) << run.all();
        EXPECT_NE(run.output.find(sent ? " (sent to " + shuffle + "/iPod_Control/Music/"
                                       : film + ": this iPod plays no video\n"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(visible_outputs().size(), sent ? 1u : 0u);
    }

    // A database libgpod cannot read is refused before anything converts, with what is wrong.
    const std::string damaged = folder.file("damaged").string();
    ASSERT_EQ(test::make_standin_ipod(damaged, "MA002"), std::nullopt);
    fs::resize_file(damaged + "/iPod_Control/iTunes/iTunesDB", 0);
    fs::remove_all(out);
    run = convert({"--device", "classic", "--send-to", damaged, film, sound});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.errors, "morvane-convert: cannot send to the iPod at " + damaged +
                              "/: cannot read the iPod's database: "
                              "iPod_Control/iTunes/iTunesDB is empty\n");
    EXPECT_EQ(visible_outputs(), std::set<fs::path>{});
}

// A PSP's stick pulled out mid-batch (only root may mount the tmpfs that stands in for it):
// nothing lands on the bare mount point it leaves, the files not sent say so, and once it is
// back a rerun sends what is missing and nothing twice.
TEST_F(ConvertCommandUse, APlayerPulledOutMidBatchGetsNothingMoreAndARerunSendsTheRest) {
    SmallDisk disk(folder.file("disk"), "8m");
    if (!disk.unavailable().empty()) {
        GTEST_SKIP() << disk.unavailable();
    }
    const std::string stick = folder.file("STICK").string();
    ASSERT_EQ(disk.show_at(stick), std::nullopt);
    fs::create_directories(stick + "/PSP");
    const std::string first = tone("first.wav");
    write_media(folder.file("film.mp4"), mp4_h264_aac(320, 240, {25, 1}, 8.0));
    const std::string film = folder.file("film.mp4").string();
    const std::string last = tone("last.wav");

    ProcessOptions pull_out;
    pull_out.on_started = [&](pid_t) {
        // As soon as the first song is on the stick; the film takes a while to convert.
        for (int wait = 0; wait < 5000 && !fs::exists(disk.path() / "MUSIC/first.mp3"); ++wait) {
            std::this_thread::sleep_for(2ms);
        }
        SmallDisk::pull_out(stick);
    };
    const std::vector<std::string> batch = {"-j1",    "--device", "psp", "--send-to", stick,
                                            "--json", first,      film,  last};
    ProcessResult run = convert(batch, pull_out);
    EXPECT_EQ(run.exit_status, 1) << run.all();
    auto document = nlohmann::json::parse(run.output);
    ASSERT_EQ(document["files"].size(), 3u);
    EXPECT_EQ(document["files"][0]["sent_to"], stick + "/MUSIC/first.mp3");
    for (const int later : {1, 2}) {
        EXPECT_EQ(document["files"][later]["status"], "converted");
        EXPECT_EQ(document["files"][later]["send_error"], "the player was disconnected");
    }
    EXPECT_TRUE(fs::is_empty(stick)) << "written onto the computer's own disk";

    ASSERT_EQ(disk.show_at(stick), std::nullopt);
    std::vector<std::string> rerun = batch;
    rerun.insert(rerun.begin(), "--skip-existing");
    run = convert(rerun);
    EXPECT_EQ(run.exit_status, 0) << run.all();
    document = nlohmann::json::parse(run.output);
    const std::vector<std::string> landed = {stick + "/MUSIC/first.mp3", stick + "/VIDEO/film.mp4",
                                             stick + "/MUSIC/last.mp3"};
    for (std::size_t index = 0; index < landed.size(); ++index) {
        const auto& file = document["files"][index];
        SCOPED_TRACE(file.dump());
        EXPECT_EQ(file["status"], "skipped");
        EXPECT_EQ(file["sent_to"], landed[index]);
        EXPECT_EQ(file.contains("already_on_player"), index == 0);
    }
    EXPECT_EQ(names_in(stick + "/MUSIC"), (std::set<std::string>{"first.mp3", "last.mp3"}));
    EXPECT_EQ(names_in(stick + "/VIDEO"), (std::set<std::string>{"film.THM", "film.mp4"}));
}

// Inputs that fail at once (missing, not media) among a few that convert: the batch always
// ends, however many converters take from the queue.
TEST_F(ConvertCommandUse, ABatchOfQuickFailuresAlwaysEnds) {
    std::vector<std::string> inputs;
    for (int k = 0; k < 10; ++k) {
        inputs.push_back(tone("tone" + std::to_string(k) + ".wav", 0.1));
    }
    for (int k = 0; k < 25; ++k) {
        inputs.push_back(folder.file("missing" + std::to_string(k) + ".wav").string());
        const auto notes = folder.file("notes" + std::to_string(k) + ".mp3");
        std::ofstream(notes) << "not a song\n";
        inputs.push_back(notes.string());
    }
    for (const char* jobs : {"1", "2", "4"}) {
        for (int repeat = 0; repeat < 5; ++repeat) {
            SCOPED_TRACE(std::string("-j ") + jobs);
            std::vector<std::string> arguments = {
                "/usr/bin/timeout", "60",      program,        "-q", "-j", jobs,
                "--device",         "shuffle", "--output-dir", out};
            arguments.insert(arguments.end(), inputs.begin(), inputs.end());
            const ProcessResult run = run_process(arguments, with_environment(environment()));
            ASSERT_EQ(run.exit_status, 1) << run.all(); // 124: it hung
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 60);
        }
    }
}

// A film cut at a fifth: what it holds is kept, but reported as incomplete, not converted.
TEST_F(ConvertCommandUse, ACutInputIsKeptAndReportedIncomplete) {
    MediaDescription description = mp4_h264_aac(160, 120, {25, 1}, 20.0);
    description.format_name = "matroska";
    write_media(folder.file("whole.mkv"), description);
    const std::string cut = folder.file("cut.mkv").string();
    write_truncated_copy(folder.file("whole.mkv"), cut, 0.2);

    const ProcessResult run = convert({"--device", "nano", "--json", cut});
    EXPECT_EQ(run.exit_status, 1) << run.all();
    const auto document = nlohmann::json::parse(run.output);
    const auto& file = document["files"][0];
    EXPECT_EQ(file["status"], "incomplete");
    EXPECT_EQ(file["reason"].get<std::string>().rfind("incomplete: the input ends at 0:0", 0), 0u)
        << file["reason"];
    EXPECT_NEAR(file["duration"].get<double>(), 20.0, 0.1);
    EXPECT_LT(file["reached"].get<double>(), 6.0);
    EXPECT_EQ(visible_outputs(), std::set<fs::path>{file["output"].get<std::string>()});
    expect_complete(file["output"].get<std::string>());
    EXPECT_EQ(document["summary"]["incomplete"], 1);
    EXPECT_NE(run.errors.find("0 converted, 1 incomplete"), std::string::npos) << run.errors;

    // Met again, and named twice: the earlier output says how far it reached, and the file
    // named again shares it.
    const ProcessResult again =
        convert({"--device", "nano", "--json", "--skip-existing", cut, cut});
    EXPECT_EQ(again.exit_status, 1) << again.all();
    const auto files = nlohmann::json::parse(again.output)["files"];
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["status"], "incomplete");
    EXPECT_EQ(files[0]["output"], file["output"]);
    EXPECT_EQ(files[0]["reason"], file["reason"]);
    ASSERT_TRUE(files[0]["reached"].is_number()) << files[0];
    EXPECT_NEAR(files[0]["reached"].get<double>(), file["reached"].get<double>(), 0.2);
    EXPECT_EQ(files[1]["status"], "skipped");
    EXPECT_EQ(files[1]["reason"], "same file as " + cut);
    EXPECT_EQ(files[1]["output"], file["output"]);
    EXPECT_EQ(visible_outputs().size(), 1u);
}

// A small library as people keep one: two different songs of one name in two albums, a song
// that a stop cut short, a damaged song, a text file, a folder that cannot be read, a song
// named twice and one linked twice, a name as long as the file system takes. Run again and
// again, copied, touched, for another device and with the folders' layout kept, against the
// disk and the JSON.
TEST_F(ConvertCommandUse, ALibraryConvertsEverySongOnceAndSaysWhatItPassedOver) {
    const std::string library = folder.file("library").string();
    const std::string intro_a = tone("library/A/Album1/01 Intro.wav", 0.3);
    const std::string intro_b = tone("library/B/Album2/01 Intro.wav", 0.5);
    std::string wide; // 83 CJK characters: with ".wav", a name of 253 bytes
    for (int count = 0; count < 83; ++count) {
        wide += "\xe6\xbc\xa2";
    }
    // Shortened between characters, with room for ".mp3" and "_<n>".
    const std::string short_name = wide.substr(0, 81 * 3);
    const std::string long_name = tone("library/D/" + wide + ".wav", 0.3);
    const std::string linked = library + "/D/linked.wav";
    fs::create_hard_link(intro_a, linked);
    // Silence: small as a file, long enough that a stop always comes before its end.
    fs::create_directories(folder.file("library/C"));
    MediaDescription silence = wav_pcm(44100, 2, 600.0);
    silence.format_name = "flac";
    silence.audio[0].codec = AV_CODEC_ID_FLAC;
    silence.audio[0].amplitude = 0.0;
    const std::string long_song = folder.file("library/C/long.flac").string();
    write_media(long_song, silence);
    { std::ofstream(folder.file("library/C/broken.mp3")) << std::string(3000, '\x5a'); }
    { std::ofstream(folder.file("library/C/notes.txt")) << "liner notes\n"; }
    tone("library/locked/hidden song.wav");
    // The folder nobody may read; root may read anything, so the program then runs as nobody.
    std::vector<std::string> as_user;
    if (::geteuid() == 0) {
        as_user = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        fs::permissions(folder.path(), fs::perms::all);
    }
    fs::permissions(folder.file("library/locked"), fs::perms::none);
    const auto run_as_user = [&](std::vector<std::string> arguments, ProcessOptions options = {},
                                 const std::string& device = "shuffle",
                                 const std::string& into = "") {
        arguments.insert(arguments.begin(), {program, "-q", "--device", device, "--output-dir",
                                             into.empty() ? out : into});
        arguments.insert(arguments.begin(), as_user.begin(), as_user.end());
        options.environment = environment();
        return run_process(arguments, options);
    };
    using Records = std::map<std::string, std::pair<std::string, std::string>>; // status, output
    // By input, as first met: a file named twice comes again as the same file.
    const auto records = [](const ProcessResult& run) {
        Records by_input;
        const auto document = nlohmann::json::parse(run.output);
        for (const auto& file : document["files"]) {
            by_input.emplace(file["input"], std::pair(file["status"], file.value("output", "")));
        }
        return by_input;
    };

    // The long song, stopped early: a complete, shorter file marked as cut.
    ProcessOptions stop_early;
    stop_early.on_started = [&](pid_t child) {
        // Once the conversion has written something into its hidden temporary.
        const auto begun = [&] {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(out, error)) {
                if (entry.path().filename().string()[0] == '.' && entry.file_size(error) > 0) {
                    return true;
                }
            }
            return false;
        };
        for (int wait = 0; wait < 1500 && !begun(); ++wait) {
            std::this_thread::sleep_for(20ms);
        }
        kill(child, SIGINT);
    };
    ASSERT_EQ(run_as_user({long_song}, stop_early).exit_status, 130);
    ASSERT_LT(inspect_media(out + "/long.mp3").duration_seconds, 500.0);

    const std::set<fs::path> all_outputs = {out + "/01 Intro.mp3", out + "/01 Intro_0.mp3",
                                            out + "/long.mp3", out + "/" + short_name + ".mp3"};
    for (const bool rerun : {false, true}) {
        SCOPED_TRACE(rerun ? "rerun" : "first run");
        // Skipping from the start: what it skips must be this very song, complete.
        const ProcessResult run =
            run_as_user({"-r", "--skip-existing", "--json", library, intro_a});
        EXPECT_EQ(run.exit_status, 1) << run.all(); // the damaged song, the locked folder
        Records by_input = records(run);
        ASSERT_EQ(by_input.size(), 6u) << run.output; // intro_a converted once, named twice
        const std::string done = rerun ? "skipped" : "converted";
        // Two songs, two outputs: which takes the plain name depends on which finishes first.
        EXPECT_EQ(by_input[intro_a].first, done);
        EXPECT_EQ(by_input[intro_b].first, done);
        EXPECT_EQ((std::set<std::string>{by_input[intro_a].second, by_input[intro_b].second}),
                  (std::set<std::string>{out + "/01 Intro.mp3", out + "/01 Intro_0.mp3"}));
        EXPECT_NEAR(inspect_media(by_input[intro_b].second).duration_seconds, 0.5, 0.1);
        EXPECT_EQ(by_input[long_name], std::pair(done, out + "/" + short_name + ".mp3"));
        // The cut output of the long song is replaced, not kept beside a new one.
        EXPECT_EQ(by_input[long_song], std::pair(done, out + "/long.mp3"));
        EXPECT_EQ(by_input[library + "/C/broken.mp3"].first, "failed");
        EXPECT_EQ(by_input[linked].first, "skipped");
        const auto document = nlohmann::json::parse(run.output);
        EXPECT_EQ(document["files"].size(), 7u);
        for (const auto& file : document["files"]) {
            // The link, and the song named a second time.
            if (file["input"] == linked ||
                (file["status"] == "skipped" && !file.contains("output"))) {
                EXPECT_EQ(file["reason"], "same file as " + intro_a);
            }
        }
        EXPECT_EQ(document["passed_over"], nlohmann::json::array({library + "/C/notes.txt"}));
        ASSERT_EQ(document["unreadable_folders"].size(), 1u);
        EXPECT_EQ(document["unreadable_folders"][0]["folder"], library + "/locked");
        EXPECT_EQ(visible_outputs(), all_outputs);
        EXPECT_NEAR(inspect_media(out + "/long.mp3").duration_seconds, 600.0, 0.2);
    }

    // A copy of the library, touched: the same songs, nothing new.
    const std::string copy = folder.file("copy").string();
    fs::create_directory(copy);
    fs::copy(library + "/A", copy + "/A", fs::copy_options::recursive);
    fs::copy(library + "/B", copy + "/B", fs::copy_options::recursive);
    fs::last_write_time(copy + "/A/Album1/01 Intro.wav", fs::file_time_type::clock::now());
    Records by_input = records(run_as_user({"-r", "--skip-existing", "--json", copy}));
    EXPECT_EQ(by_input[copy + "/A/Album1/01 Intro.wav"].first, "skipped");
    EXPECT_EQ(by_input[copy + "/B/Album2/01 Intro.wav"].first, "skipped");
    EXPECT_EQ(visible_outputs(), all_outputs);

    // Another device that gets other files (the handheld's rate): each song converts again,
    // under the next free names.
    by_input = records(run_as_user({"--skip-existing", "--json", intro_a, intro_b}, {}, "psp"));
    EXPECT_EQ(by_input[intro_a].first, "converted");
    EXPECT_EQ(by_input[intro_b].first, "converted");
    EXPECT_EQ(visible_outputs().size(), all_outputs.size() + 2);

    // The folders' layout kept: the trees again under another output folder, a file named by
    // itself at the top.
    const std::string mirror = folder.file("mirror").string();
    const std::string single = tone("loose/single.wav");
    const ProcessResult kept = run_as_user(
        {"-r", "--keep-folders", "--json", library + "/A", library + "/B", single, intro_b}, {},
        "shuffle", mirror);
    EXPECT_EQ(kept.exit_status, 0) << kept.all();
    EXPECT_EQ(names_in(mirror), (std::set<std::string>{"Album1", "Album2", "single.mp3"}));
    EXPECT_TRUE(fs::exists(mirror + "/Album1/01 Intro.mp3"));
    EXPECT_TRUE(fs::exists(mirror + "/Album2/01 Intro.mp3"));
    const auto last = nlohmann::json::parse(kept.output)["files"].back();
    EXPECT_EQ(last["reason"], "same file as " + intro_b); // met in the walk already
    fs::permissions(folder.file("library/locked"), fs::perms::owner_all);
}

// Two processes with two converters each, all twelve inputs named alike, one folder.
TEST_F(ConvertCommandUse, ParallelConvertersLoseAndOverwriteNothing) {
    std::vector<std::string> first, second;
    std::set<long> lengths; // in tenths of a second: tells every output's source
    for (int k = 0; k < 12; ++k) {
        const double seconds = 0.3 * (k + 1);
        (k % 2 ? second : first).push_back(tone("in" + std::to_string(k) + "/song.wav", seconds));
        lengths.insert(std::lround(seconds * 10));
    }
    std::thread other([&] {
        first.insert(first.begin(), {"-j", "2", "--device", "shuffle"});
        EXPECT_EQ(convert(first).exit_status, 0);
    });
    second.insert(second.begin(), {"-j", "2", "--device", "shuffle"});
    EXPECT_EQ(convert(second).exit_status, 0);
    other.join();

    std::set<long> found;
    for (const fs::path& output : visible_outputs()) {
        const MediaInfo info = inspect_media(output);
        EXPECT_EQ(info.read_error, "");
        found.insert(std::lround(info.stream(AVMEDIA_TYPE_AUDIO).end_seconds() * 10));
    }
    EXPECT_EQ(visible_outputs().size(), 12u);
    EXPECT_EQ(found, lengths);
}

// Standard output that fails (its reader gone, a full disk): every file still converts, and the
// message and the exit status say that results were lost, and why. An answer that cannot be
// written fails too.
TEST_F(ConvertCommandUse, ClosedStandardOutputDoesNotStopTheBatch) {
    ProcessOptions head;
    head.close_output_after_first_line = true;
    ProcessOptions full;
    full.output_file = "/dev/full";
    const std::vector<std::string> inputs = {tone("a.wav"), tone("b.wav"), tone("c.wav"),
                                             tone("d.wav")};
    struct Case {
        const char* output;
        const ProcessOptions& options;
        std::vector<std::string> arguments;
        const char* reason;
    };
    for (const Case& row :
         {Case{"| head -1", head, {}, "Broken pipe"},
          Case{"> /dev/full", full, {}, "No space left on device"},
          Case{"--json > /dev/full", full, {"--json"}, "No space left on device"}}) {
        SCOPED_TRACE(row.output);
        fs::remove_all(out);
        std::vector<std::string> arguments = {"--device", "shuffle"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        const ProcessResult run = convert(arguments, row.options);
        EXPECT_EQ(run.exit_status, 1) << run.all();
        EXPECT_NE(run.errors.find(std::string("morvane-convert: cannot write the results: ") +
                                  row.reason + "\n"),
                  std::string::npos)
            << run.errors;
        EXPECT_EQ(visible_outputs().size(), 4u);
    }
    for (const auto& [option, answer] :
         {std::pair{"--help", "help"}, std::pair{"--version", "version"},
          std::pair{"--list-devices", "list of devices"}}) {
        const ProcessResult run = run_process({program, option}, full);
        EXPECT_EQ(run.exit_status, 1) << option;
        EXPECT_EQ(run.errors, std::string("morvane-convert: cannot write the ") + answer +
                                  ": No space left on device\n");
    }
}

// The first signal acts as the stop button: the files being converted (two converters
// here) end early but complete, the next is not started; the exit status names the signal.
TEST_F(ConvertCommandUse, SignalsStopLikeTheStopButton) {
    write_media(folder.file("long.mp4"), mp4_h264_aac(640, 480, {25, 1}, 30.0));
    fs::copy_file(folder.file("long.mp4"), folder.file("long2.mp4"));
    const std::string first = folder.file("long.mp4").string();
    const std::string second = folder.file("long2.mp4").string();
    const std::string later = tone("later.wav");
    for (const auto& [signal, status] :
         std::vector<std::pair<int, int>>{{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
        SCOPED_TRACE(signal);
        fs::remove_all(out);
        ProcessOptions options;
        options.on_started = [&, signal = signal](pid_t child) {
            // Once both conversions have begun (their temporaries are in the folder).
            const auto begun = [&] {
                std::error_code error;
                auto entries = fs::directory_iterator(out, error);
                return !error && std::distance(entries, fs::directory_iterator()) >= 2;
            };
            for (int wait = 0; wait < 1200 && !begun(); ++wait) {
                std::this_thread::sleep_for(50ms);
            }
            std::this_thread::sleep_for(300ms);
            kill(child, signal);
        };
        const ProcessResult run =
            convert({"-j", "2", "--device", "nano", first, second, later}, options);
        EXPECT_EQ(run.exit_status, status) << run.all();
        for (const auto& [input, output] :
             {std::pair{first, out + "/long.mp4"}, std::pair{second, out + "/long2.mp4"}}) {
            EXPECT_NE(run.output.find(input + " -> " + output + " (stopped at "), std::string::npos)
                << run.output;
            const MediaInfo info = inspect_media(output);
            EXPECT_EQ(info.read_error, "");
            EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 28.0);
        }
        EXPECT_NE(run.output.find(later + ": not started"), std::string::npos) << run.output;
        EXPECT_NE(run.errors.find("2 stopped, 1 not started"), std::string::npos) << run.errors;
        EXPECT_EQ(visible_outputs().size(), 2u);
    }
}

// An hour without sound being filled a second at a time (a percent of it takes a second or
// more): Ctrl-C ends it at once, and what was made up to there is a whole file.
TEST_F(ConvertCommandUse, AStopDuringALongFillIsHeardAtOnce) {
    MediaDescription description = mp4_h264_aac(160, 120, {25, 1}, 4.0);
    description.format_name = "matroska";
    description.audio[0].sample_rate = 48000;
    description.audio[0].duration_seconds = 3601.0;
    description.audio[0].gap_from_seconds = 3.0;
    description.audio[0].gap_to_seconds = 3600.0;
    const std::string input = folder.file("gap.mkv").string();
    write_media(input, description);

    std::chrono::steady_clock::time_point stopped_at;
    ProcessOptions options;
    options.on_started = [&](pid_t child) {
        const auto begun = [&] {
            std::error_code error;
            return fs::directory_iterator(out, error) != fs::directory_iterator();
        };
        for (int wait = 0; wait < 1200 && !begun(); ++wait) {
            std::this_thread::sleep_for(50ms);
        }
        std::this_thread::sleep_for(1s); // well into the fill
        stopped_at = std::chrono::steady_clock::now();
        kill(child, SIGINT);
    };
    const ProcessResult run = convert({"--device", "nano", "--json", input}, options);
    const auto answered = std::chrono::steady_clock::now() - stopped_at;
    ASSERT_EQ(run.exit_status, 130) << run.all();
#if MORVANE_ADDRESS_SANITIZER || MORVANE_THREAD_SANITIZER
    EXPECT_LT(answered, 2s); // the sanitizers slow the end of the program itself
#else
    EXPECT_LT(answered, 500ms);
#endif
    const auto file = nlohmann::json::parse(run.output)["files"][0];
    EXPECT_EQ(file["status"], "stopped");
    const MediaInfo info = inspect_media(file["output"].get<std::string>());
    EXPECT_EQ(info.read_error, "");
    const double sound_end = info.stream(AVMEDIA_TYPE_AUDIO).end_seconds();
    EXPECT_GT(sound_end, 3.0);
    EXPECT_LT(sound_end, 3500.0);
    EXPECT_NEAR(file["stopped_at"].get<double>(), sound_end, 2.0);
}

// A second signal while an iPod's databases are being written (caught the moment the artwork
// database takes its place, before the track database does) ends the program only once both
// are written: the artwork never names a track the iPod does not list.
TEST_F(ConvertCommandUse, ASecondSignalLeavesAnIpodsDatabasesWhole) {
    write_media(folder.file("song.mp3"), mp3_with_cover_art(1.0));
    const std::string song = folder.file("song.mp3").string();
    bool quit_during_the_write = false;
    for (int attempt = 0; attempt < 5 && !quit_during_the_write; ++attempt) {
        SCOPED_TRACE(attempt);
        const fs::path root = folder.path() / ("ipod" + std::to_string(attempt));
        ASSERT_EQ(make_standin_ipod(root.string(), "MA002"), std::nullopt);
        const fs::path artwork = root / "iPod_Control/Artwork";
        fs::create_directories(artwork);
        const std::string artwork_before = read_file(artwork / "ArtworkDB");
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        // libgpod writes each database beside it and renames it into place.
        ASSERT_GE(inotify_add_watch(watch, artwork.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
        const auto artwork_written = [&] {
            alignas(inotify_event) char events[4096];
            const ssize_t length = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && std::string(event->name) == "ArtworkDB" &&
                    read_file(artwork / "ArtworkDB") != artwork_before) {
                    return true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            return false;
        };
        ProcessOptions options;
        options.on_started = [&](pid_t child) {
            siginfo_t ended{};
            for (int wait = 0; wait < 1200; ++wait) {
                pollfd ready{watch, POLLIN, 0};
                if (poll(&ready, 1, 50) == 1 && artwork_written()) {
                    kill(child, SIGINT); // the conversions are over: it stops nothing
                    kill(child, SIGTERM);
                    return;
                }
                // Over without a write (left to be reaped by the runner).
                if (waitid(P_PID, child, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                    ended.si_pid == child) {
                    return;
                }
            }
        };
        const ProcessResult run =
            convert({"--device", "classic", "--send-to", root.string(), song}, options);
        close(watch);
        // 143: the second signal ended it. Else it was over before the signals came.
        quit_during_the_write = run.exit_status == 143;
        if (!quit_during_the_write) {
            EXPECT_EQ(run.exit_status, 0) << run.all();
            continue;
        }
        EXPECT_NE(read_file(artwork / "ArtworkDB"), artwork_before);
        const auto tracks = read_standin_tracks(root.string());
        ASSERT_TRUE(tracks);
        ASSERT_EQ(tracks->size(), 1u) << "the artwork was written, the track database was not";
        EXPECT_TRUE(tracks->front().has_artwork);
        EXPECT_TRUE(fs::exists(tracks->front().file));
    }
    EXPECT_TRUE(quit_during_the_write) << "the program always ended before the signals came";
}

// Standard output a pipe that nobody reads (`| sleep 40`) while a batch of quick failures
// fills it: the first signal still stops the batch, and the second ends the program at once.
TEST_F(ConvertCommandUse, APipeNobodyReadsNeverStopsItListening) {
    std::string names;
    for (int k = 0; k < 2000; ++k) {
        names += folder.file(std::string(120, 'x') + std::to_string(k) + ".wav").string() + "\n";
    }
    ProcessOptions options;
    options.input = names;
    options.leave_output_unread = true;
    std::chrono::steady_clock::time_point second_signal;
    options.on_started = [&](pid_t child) {
        std::this_thread::sleep_for(1s); // long enough to fill the pipe
        kill(child, SIGINT);
        std::this_thread::sleep_for(300ms);
        second_signal = std::chrono::steady_clock::now();
        kill(child, SIGINT);
    };
    const ProcessResult run = convert({"-q", "--device", "shuffle", "--files-from", "-"}, options);
    EXPECT_LT(std::chrono::steady_clock::now() - second_signal, 2s);
    EXPECT_EQ(run.exit_status, 130) << run.errors;
}

// What stands at the output's name is read with an input's guards: a playlist that names a
// named pipe is no output of this input, and the batch goes on beside it.
TEST_F(ConvertCommandUse, APlaylistOfAPipeInTheOutputFolderDoesNotHangTheBatch) {
    const std::string song = tone("song.wav");
    fs::create_directories(out);
    ASSERT_EQ(mkfifo((out + "/pipe").c_str(), 0600), 0);
    std::ofstream(out + "/song.mp3")
        << "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:1,\npipe\n#EXT-X-ENDLIST\n";
    const ProcessResult run = convert({"--device", "shuffle", "--skip-existing", song});
    EXPECT_EQ(run.exit_status, 0) << run.all();
    EXPECT_NE(run.output.find(song + " -> " + out + "/song_0.mp3"), std::string::npos)
        << run.output;
}

// Killed at any moment, a batch leaves no visible file that is not complete; the next run
// clears the temporaries the killed one left.
TEST_F(ConvertCommandUse, KilledAtRandomMomentsLeavesOnlyCompleteFiles) {
    std::vector<std::string> inputs = {"--device", "nano"};
    for (const char* name : {"one.mp4", "two.mp4", "three.mp4"}) {
        write_media(folder.file(name), mp4_h264_aac(320, 240, {25, 1}, 4.0));
        inputs.push_back(folder.file(name).string());
    }
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(convert(inputs).exit_status, 0);
    const auto whole = std::chrono::steady_clock::now() - started;

    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 10; ++round) {
        const auto moment = std::chrono::duration_cast<std::chrono::microseconds>(
            whole * std::uniform_real_distribution<double>(0.0, 1.0)(random));
        SCOPED_TRACE(std::to_string(moment.count()) + " us");
        ProcessOptions options;
        options.on_started = [moment](pid_t child) {
            std::this_thread::sleep_for(moment);
            kill(child, SIGKILL);
        };
        convert(inputs, options);
        for (const fs::path& output : visible_outputs()) {
            expect_complete(output);
        }
    }
    ASSERT_EQ(convert(inputs).exit_status, 0);
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

} // namespace
} // namespace morvane::test
