// SPDX-License-Identifier: GPL-3.0-or-later
// Which sound track a film carries when its input holds several: films with tagged tracks
// made by the ffmpeg tool, converted by the whole job, read back. Each track is a tone of its
// own pitch, so the output's sound tells which track it came from.
#include "engine/progress_sink.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
#include "jobs/language_codes.h"
#include "support/av_handles.h"
#include "support/decoded_audio.h"
#include "support/progress_sinks.h"
#include "support/temp_folder.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {
namespace {

using test::AlwaysGoOn;

// Devices' rows in the table.
constexpr int phone = 0; // switches sound tracks
constexpr int nano = 1;

TEST(LanguageCodes, EveryFormOfALanguageComparesEqual) {
    struct Row {
        const char* code;
        const char* normalised;
    };
    // Codes the table does not know are themselves; "und" and the like are no language.
    for (const Row& row :
         {Row{"fr", "fra"}, Row{"fre", "fra"}, Row{"FRA", "fra"}, Row{"ger", "deu"},
          Row{"de", "deu"}, Row{"deu", "deu"}, Row{"chi", "zho"}, Row{"en", "eng"},
          Row{"nob", "nob"}, Row{"tlh", "tlh"}, Row{"und", ""}, Row{"", ""}, Row{"zxx", ""},
          Row{"e1g", ""}, Row{"english", ""}}) {
        EXPECT_EQ(normalised_language(row.code), row.normalised) << row.code;
    }
    EXPECT_EQ(language_name("ger"), "German");

    struct Environment {
        std::map<std::string, std::string> variables;
        std::vector<std::string> languages;
    };
    for (const Environment& row : {
             Environment{{{"LANG", "fr_FR.UTF-8"}}, {"fra"}},
             Environment{{{"LANGUAGE", "de_AT:en:de"}, {"LANG", "fr_FR.UTF-8"}}, {"deu", "eng"}},
             Environment{{{"LC_ALL", "C"}, {"LANG", "fr_FR.UTF-8"}}, {}}, // LC_ALL decides
             Environment{{{"LC_MESSAGES", "es_ES@euro"}, {"LANG", "fr_FR"}}, {"spa"}},
             Environment{{{"LANGUAGE", ""}, {"LANG", "POSIX"}}, {}},
         }) {
        const auto variable = [&row](const char* name) -> const char* {
            const auto found = row.variables.find(name);
            return found != row.variables.end() ? found->second.c_str() : nullptr;
        };
        EXPECT_EQ(desktop_languages(variable), row.languages);
    }
}

struct Track {
    const char* language; // empty: untagged
    double tone_hz;
    const char* disposition = "0"; // ffmpeg's -disposition value
    const char* title = "";
};

// A second of pictures and one tone per track, in `container` ("matroska", or "mpegts" with
// MP2 sound at rates falling with the tracks: the better-sounding track last, as broadcasts
// put it).
void make_film(const std::string& path, const std::string& container,
               const std::vector<Track>& tracks) {
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:"
                          "duration=1";
    for (const Track& track : tracks) {
        command += " -f lavfi -i sine=frequency=" + std::to_string(track.tone_hz) +
                   ":sample_rate=48000:duration=1";
    }
    command += " -map 0:v -c:v mpeg4";
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        const std::string a = std::to_string(index);
        const Track& track = tracks[index];
        command += " -map " + std::to_string(index + 1) + ":a -disposition:a:" + a + " " +
                   track.disposition;
        if (track.language[0] != '\0') {
            command += " -metadata:s:a:" + a + " language=" + track.language;
        }
        if (track.title[0] != '\0') {
            command += " -metadata:s:a:" + a + " title=\"" + track.title + "\"";
        }
        if (container == "mpegts") {
            command +=
                " -c:a:" + a + " mp2 -b:a:" + a + " " + std::to_string(192 + 64 * index) + "k";
        }
    }
    command += container == "mpegts" ? "" : " -c:a aac";
    command += " -f " + container + " '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// An MP4's sound tracks as a player sees them: language, whether the track is enabled (tkhd's
// flags) and its alternate group, read from the boxes themselves.
struct OutputSound {
    std::string language;
    bool enabled = false;
    int alternate_group = 0;
};

std::vector<OutputSound> output_sounds(const std::string& path) {
    std::vector<OutputSound> sounds;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return sounds;
    }
    const test::av::InputPtr container(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return sounds;
    }
    const std::string bytes = test::read_file(path);
    // Each track's tkhd (version 0): flags at +1, the alternate group 36 bytes after its type.
    std::vector<std::size_t> track_headers;
    for (std::size_t at = bytes.find("tkhd"); at != std::string::npos;
         at = bytes.find("tkhd", at + 4)) {
        track_headers.push_back(at + 4);
    }
    for (unsigned index = 0; index < raw->nb_streams; ++index) {
        const AVStream& stream = *raw->streams[index];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_AUDIO || index >= track_headers.size()) {
            continue;
        }
        OutputSound sound;
        const AVDictionaryEntry* language = av_dict_get(stream.metadata, "language", nullptr, 0);
        sound.language = language != nullptr ? language->value : "";
        const std::size_t header = track_headers[index];
        sound.enabled = (static_cast<unsigned char>(bytes[header + 3]) & 1) != 0;
        sound.alternate_group = static_cast<unsigned char>(bytes[header + 34]) * 256 +
                                static_cast<unsigned char>(bytes[header + 35]);
        sounds.push_back(sound);
    }
    return sounds;
}

// Each row: a film, the owner's languages, a device; the tone the film's sound carries, the
// track the outcome names, and the alternate track's tone (0: none).
TEST(SoundTrackChoice, TheOwnersLanguagesTheDefaultMarkAndTheFilesOrderChoose) {
    struct Row {
        const char* name;
        std::string container;
        std::vector<Track> tracks;
        std::vector<std::string> languages;
        int device;
        double tone_hz;
        const char* language; // the outcome's
        const char* title;
        double alternate_hz = 0;
    };
    const std::vector<Row> rows = {
        {"by the first language the file has",
         "matroska",
         {{"eng", 300, "default"}, {"fre", 700, "0", "Version française"}, {"ger", 1100}},
         {"it", "fr", "de"},
         nano,
         700,
         "fra",
         "Version française"},
        {"by the default mark when no language matches",
         "matroska",
         {{"ger", 300}, {"spa", 700, "default"}},
         {"fra"},
         nano,
         700,
         "spa",
         ""},
        // FFmpeg's own choice would be the German track, at the higher rate.
        {"by the file's order: a broadcast's first track",
         "mpegts",
         {{"eng", 300}, {"ger", 700}},
         {},
         nano,
         300,
         "eng",
         ""},
        {"commentary passed over, even marked default",
         "matroska",
         {{"eng", 300, "default+comment", "Director's commentary"},
          {"eng", 700},
          {"fre", 1100, "visual_impaired"}},
         {"fr", "en"},
         nano,
         700,
         "eng",
         ""},
        {"a second language on a player that switches",
         "matroska",
         {{"eng", 300, "default"}, {"fre", 700}, {"ger", 1100}},
         {"fre", "de"},
         phone,
         700,
         "fra",
         "",
         1100},
        {"no second track where the player does not switch",
         "matroska",
         {{"eng", 300, "default"}, {"fre", 700}, {"ger", 1100}},
         {"fre", "de"},
         nano,
         700,
         "fra",
         ""},
    };
    test::TempFolder folder;
    const DeviceTable devices = device_table("/nowhere/");
    const Engine engine;
    AlwaysGoOn go_on;
    int number = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string input = folder
                                      .file("film" + std::to_string(number++) +
                                            (row.container == "mpegts" ? ".ts" : ".mkv"))
                                      .string();
        make_film(input, row.container, row.tracks);
        ConversionJob job(engine);
        ConversionChoices choices;
        choices.languages = row.languages;
        job.set_choices(choices);
        const JobOutcome outcome = job.convert_one(
            input, devices[static_cast<std::size_t>(row.device)], folder.path().string(), &go_on);
        ASSERT_TRUE(outcome.converted()) << outcome.reason;
        ASSERT_TRUE(outcome.sound_track);
        EXPECT_EQ(outcome.sound_track->language, row.language);
        EXPECT_EQ(outcome.sound_track->title, row.title);
        EXPECT_EQ(outcome.sound_tracks, static_cast<int>(row.tracks.size()));
        // The target line names the languages taken, so that other choices make other files.
        EXPECT_NE(outcome.target.find(std::string(" ") + row.language), std::string::npos)
            << outcome.target;

        EXPECT_NEAR(test::decode_audio(outcome.output_path, 0).tone_frequency(), row.tone_hz, 5);
        const std::vector<OutputSound> sounds = output_sounds(outcome.output_path);
        ASSERT_EQ(sounds.size(), row.alternate_hz > 0 ? 2u : 1u);
        EXPECT_EQ(sounds[0].language, row.language);
        EXPECT_TRUE(sounds[0].enabled);
        if (row.alternate_hz > 0) {
            EXPECT_NEAR(test::decode_audio(outcome.output_path, 1).tone_frequency(),
                        row.alternate_hz, 5);
            EXPECT_EQ(sounds[1].language, "deu");
            EXPECT_FALSE(sounds[1].enabled);
            // One group: the player offers one or the other.
            EXPECT_NE(sounds[0].alternate_group, 0);
            EXPECT_EQ(sounds[1].alternate_group, sounds[0].alternate_group);
            EXPECT_NE(outcome.target.find(" fra+deu"), std::string::npos) << outcome.target;
        }
    }
}

} // namespace
} // namespace morvane
