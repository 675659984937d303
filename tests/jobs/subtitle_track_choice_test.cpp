// SPDX-License-Identifier: GPL-3.0-or-later
// Which subtitles a film shows, and how: the rules of the choice on listed tracks, then whole
// jobs on films made by the ffmpeg tool: burned in on a player without subtitle tracks, kept
// as a track where the player shows them, left out with the reason when they cannot be read,
// and the output's target naming them only when they are shown.
#include "engine/progress_sink.h"
#include "jobs/conversion_job.h"
#include "jobs/device_table.h"
#include "jobs/subtitle_track_choice.h"
#include "support/media_info.h"
#include "support/progress_sinks.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvane {
namespace {

using test::AlwaysGoOn;

constexpr int phone = 0; // shows subtitle tracks
constexpr int nano = 1;

InputTrack subtitles(int index, const char* language, bool bitmap = false, const char* marks = "") {
    InputTrack track;
    track.index = index;
    track.kind = bitmap ? InputTrack::Kind::bitmap_subtitles : InputTrack::Kind::text_subtitles;
    track.codec = bitmap ? "hdmv_pgs_subtitle" : "subrip";
    track.language = language;
    const std::string mark = marks;
    track.is_default = mark.find('d') != std::string::npos;
    track.forced = mark.find('f') != std::string::npos;
    track.hearing_impaired = mark.find('h') != std::string::npos;
    return track;
}

TEST(SubtitleTrackChoice, TheOwnersChoiceLanguagesAndMarksDecide) {
    InputTrack sound;
    sound.index = 1;
    sound.language = "eng";
    struct Row {
        const char* name;
        SubtitleChoice when;
        std::vector<std::string> languages;
        const char* sound_language;
        std::vector<InputTrack> tracks;
        bool shows_tracks;
        int chosen; // the stream index, -1: none
        const char* words;
    };
    const std::vector<InputTrack> film = {sound,
                                          subtitles(2, "ger"),
                                          subtitles(3, "fre", false, "h"),
                                          subtitles(4, "fre"),
                                          subtitles(5, "eng", true, "f"),
                                          subtitles(6, "eng", false, "d")};
    const std::vector<Row> rows = {
        {"foreign sound: the preferred language, not for the hearing impaired",
         SubtitleChoice::foreign,
         {"fr", "de"},
         "eng",
         film,
         false,
         4,
         "French subtitles burned in: the sound is English"},
        {"kept as a track where the player shows them",
         SubtitleChoice::foreign,
         {"fra"},
         "en",
         film,
         true,
         4,
         "French subtitles kept as a track"},
        {"the sound in a language of the owner's: the forced track of its language, burned",
         SubtitleChoice::foreign,
         {"de", "en"},
         "eng",
         film,
         true,
         5,
         "forced English subtitles burned in"},
        {"off: not even forced ones", SubtitleChoice::off, {"fr"}, "eng", film, false, -1, ""},
        {"always: the default mark when no language is preferred",
         SubtitleChoice::always,
         {},
         "eng",
         film,
         false,
         6,
         "English subtitles burned in"},
        {"foreign with no track in a language of the owner's: only a forced one",
         SubtitleChoice::foreign,
         {"spa"},
         "eng",
         film,
         false,
         5,
         "forced English subtitles burned in"},
        {"for the hearing impaired when nothing else",
         SubtitleChoice::foreign,
         {"fr"},
         "ger",
         {sound, subtitles(3, "fre", false, "h")},
         false,
         3,
         "French subtitles burned in: the sound is German"},
        {"the sound's language unknown: not foreign",
         SubtitleChoice::foreign,
         {"fr"},
         "",
         film,
         false,
         -1,
         ""},
        {"bitmaps are burned in on every player",
         SubtitleChoice::always,
         {"en"},
         "fre",
         {sound, subtitles(7, "eng", true)},
         true,
         7,
         "English subtitles burned in"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto choice = choose_subtitle_track(row.tracks, row.when, row.languages,
                                                  row.sound_language, row.shows_tracks);
        ASSERT_EQ(choice.has_value(), row.chosen >= 0);
        if (choice) {
            EXPECT_EQ(choice->track.index, row.chosen);
            EXPECT_EQ(subtitle_words(*choice, row.sound_language), row.words);
        }
    }
    // A line of text: a fourteenth of the picture, never under 16 pixels, at most a sixth.
    EXPECT_EQ(subtitle_text_height(320), 22);
    EXPECT_EQ(subtitle_text_height(180), 16);
    EXPECT_EQ(subtitle_text_height(60), 10);
}

TEST(SubtitleTrackChoice, FilmsShowThemBurnedOrAsATrackOrSayWhyNot) {
    test::TempFolder folder;
    const std::string srt = folder.file("fr.srt").string();
    std::ofstream(srt) << "1\n00:00:01,000 --> 00:00:02,000\nBONJOUR\n";
    // Bytes that are no UTF-8 text: the subtitle decoder refuses them.
    const std::string broken = folder.file("broken.srt").string();
    std::ofstream(broken) << "1\n00:00:01,000 --> 00:00:02,000\n\xff\xfe\xc3\x28\n";
    // English sound; subtitles in `language`, marked as `disposition` says.
    const auto make_film = [&](const std::string& path, const std::string& subtitle_file,
                               const std::string& language = "fre",
                               const std::string& disposition = "0") {
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=3 "
            "-f lavfi -i sine=duration=3 -i '" +
            subtitle_file +
            "' -map 0 -map 1 -map 2 -c:v mpeg4 -c:a aac -c:s copy -metadata:s:a:0 language=eng "
            "-metadata:s:s:0 language=" +
            language + " -disposition:s:0 " + disposition + " '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    };
    const std::string film = folder.file("film.mkv").string();
    make_film(film, srt);
    const std::string damaged = folder.file("damaged.mkv").string();
    make_film(damaged, broken);
    const std::string forced = folder.file("forced.mkv").string();
    make_film(forced, srt, "eng", "forced");

    struct Row {
        const char* name;
        std::string input;
        int device;
        SubtitleChoice when;
        const char* words;
        const char* target_end; // how the output's target line ends; empty: no subtitles
        int subtitle_tracks;    // in the output
    };
    const std::vector<Row> rows = {
        {"burned on the nano", film, nano, SubtitleChoice::foreign,
         "French subtitles burned in: the sound is English", " subtitles 2 burned", 0},
        {"kept on the phone", film, phone, SubtitleChoice::foreign,
         "French subtitles kept as a track", " subtitles 2 track", 1},
        {"off: the target as it always was", film, nano, SubtitleChoice::off, "", "", 0},
        {"forced in the sound's language: burned in, even where tracks are shown", forced, phone,
         SubtitleChoice::foreign, "forced English subtitles burned in", " subtitles 2 burned", 0},
        {"unreadable: the whole film, and why", damaged, nano, SubtitleChoice::foreign,
         "the French subtitles were left out: they could not be read", " subtitles 2 burned", 0},
    };
    const DeviceTable devices = device_table("/nowhere/");
    const Engine engine;
    AlwaysGoOn go_on;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ConversionJob job(engine);
        ConversionChoices choices;
        choices.languages = {"fra"};
        choices.subtitles = row.when;
        job.set_choices(choices);
        const std::string output_folder = folder.file(std::string("out-") + row.name).string();
        std::filesystem::create_directories(output_folder);
        const JobOutcome outcome = job.convert_one(
            row.input, devices[static_cast<std::size_t>(row.device)], output_folder, &go_on);
        ASSERT_TRUE(outcome.converted()) << outcome.reason;
        EXPECT_EQ(outcome.subtitles, row.words);
        const std::string end = row.target_end;
        if (end.empty()) {
            EXPECT_EQ(outcome.target.find("subtitles"), std::string::npos) << outcome.target;
        } else {
            ASSERT_GE(outcome.target.size(), end.size());
            EXPECT_EQ(outcome.target.substr(outcome.target.size() - end.size()), end)
                << outcome.target;
        }
        const test::MediaInfo info = test::inspect_media(outcome.output_path);
        EXPECT_EQ(info.count(AVMEDIA_TYPE_SUBTITLE), row.subtitle_tracks);
        EXPECT_NEAR(info.duration_seconds, 3.0, 0.2);
    }
}

} // namespace
} // namespace morvane
