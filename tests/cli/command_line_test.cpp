// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"
#include "cli/device_choice.h"
#include "cli/printable_name.h"
#include "cli/progress_line.h"
#include "jobs/settings_choices.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

CommandLine parsed(const std::vector<std::string>& arguments) {
    auto result = parse_command_line(arguments);
    EXPECT_TRUE(std::holds_alternative<CommandLine>(result));
    return std::get<CommandLine>(result);
}

std::string error_of(const std::vector<std::string>& arguments) {
    auto result = parse_command_line(arguments);
    EXPECT_TRUE(std::holds_alternative<UsageError>(result));
    return std::holds_alternative<UsageError>(result) ? std::get<UsageError>(result).message : "";
}

TEST(CommandLine, OptionsAndFilesInAnyOrder) {
    const CommandLine line = parsed({"a.avi", "--device", "psp", "--output-dir=/out", "b c.mp3"});
    EXPECT_EQ(line.action, CommandLine::Action::convert);
    EXPECT_EQ(line.device, "psp");
    EXPECT_EQ(line.output_dir, "/out");
    EXPECT_EQ(line.files, (std::vector<std::string>{"a.avi", "b c.mp3"}));

    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parsed({"--", "--help"}).files, std::vector<std::string>{"--help"});
    EXPECT_EQ(parsed({"--list-devices"}).action, CommandLine::Action::list_devices);
    EXPECT_EQ(parsed({"--version"}).action, CommandLine::Action::version);
    EXPECT_EQ(parsed({"-h"}).action, CommandLine::Action::help);

    // Bundled short options, a valued one taking the rest of the word or the next word.
    const CommandLine bundled = parsed({"-rq0", "--files-from", "-", "-j2", "--json", "-"});
    EXPECT_TRUE(bundled.recursive && bundled.quiet && bundled.null_separated && bundled.json);
    EXPECT_EQ(bundled.files_from, std::vector<std::string>{"-"});
    EXPECT_EQ(bundled.jobs, 2);
    EXPECT_EQ(bundled.files, std::vector<std::string>{"-"}); // a file called "-"
    EXPECT_EQ(parsed({"-rj", "3", "x"}).jobs, 3);
    EXPECT_EQ(parsed({"--jobs=4", "--skip-existing", "x"}).jobs, 4);
    EXPECT_TRUE(parsed({"--skip-existing", "x"}).skip_existing);
    EXPECT_TRUE(parsed({"--files-from=list"}).files.empty()); // a list alone is enough
    // Every list is read, and long options may be shortened while they stay unique.
    const CommandLine lists = parsed({"--files-from", "a", "--files=b", "--rec", "--skip", "x"});
    EXPECT_EQ(lists.files_from, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(lists.recursive && lists.skip_existing);

    // The choices about films: none given leaves config.ini's.
    const CommandLine films =
        parsed({"--language", " FR, eng,,fre,fr", "--subtitles=always", "--crop", "off", "--fill",
                "--quality=lower", "--picture-size", "tv", "x"});
    EXPECT_EQ(films.languages, (std::vector<std::string>{"fr", "eng", "fre"}));
    EXPECT_EQ(films.subtitles, AppSettings::Subtitles::always);
    EXPECT_EQ(films.crop, false);
    EXPECT_TRUE(films.fill);
    EXPECT_EQ(films.quality, AppSettings::Quality::lower);
    EXPECT_EQ(films.picture_size, AppSettings::PictureSize::tv);
    const CommandLine plain = parsed({"x"});
    EXPECT_FALSE(plain.languages || plain.subtitles || plain.crop || plain.fill || plain.quality ||
                 plain.picture_size);
    EXPECT_EQ(parsed({"--crop=auto", "--subtitles", "off", "--qual", "highest", "x"}).quality,
              AppSettings::Quality::highest);
}

TEST(CommandLine, MistakesAreUsageErrors) {
    EXPECT_EQ(error_of({}), "no files to convert");
    // getopt's own words.
    EXPECT_EQ(error_of({"--device"}), "option '--device' requires an argument");
    EXPECT_EQ(error_of({"--output-dir=", "a.avi"}), "--output-dir needs a folder");
    EXPECT_EQ(error_of({"--fast", "a.avi"}), "unrecognized option '--fast'");
    EXPECT_EQ(error_of({"--json=yes", "a.avi"}), "option '--json' doesn't allow an argument");
    EXPECT_EQ(error_of({"--j", "a.avi"}),
              "option '--j' is ambiguous; possibilities: '--jobs' '--json'");
    EXPECT_EQ(error_of({"-rx", "a.avi"}), "invalid option -- 'x'");
    EXPECT_EQ(error_of({"a", "-j"}), "option requires an argument -- 'j'");
    EXPECT_EQ(error_of({"-j", "0", "a"}), "--jobs needs a number from 1 to 64, not \"0\"");
    EXPECT_EQ(error_of({"-j2x", "a"}), "--jobs needs a number from 1 to 64, not \"2x\"");
    EXPECT_EQ(error_of({"-0", "a"}), "-0 only goes with --files-from");
    EXPECT_EQ(error_of({"--files-from"}), "option '--files-from' requires an argument");
}

// Each word a choice about films does not take is refused in one line that lists the words
// it does; a language list names its first entry that is no language.
TEST(CommandLine, AFilmChoiceOutsideItsWordsIsAUsageError) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--subtitles", "never"}, "--subtitles needs off, foreign or always, not \"never\""},
        {{"--subtitles=ALWAYS"}, "--subtitles needs off, foreign or always, not \"ALWAYS\""},
        {{"--crop=on"}, "--crop needs auto or off, not \"on\""},
        {{"--quality", "best"}, "--quality needs highest, higher, normal or lower, not \"best\""},
        {{"--quality="}, "--quality needs highest, higher, normal or lower, not \"\""},
        {{"--picture-size", "640x480"}, "--picture-size needs screen or tv, not \"640x480\""},
        {{"--fill=1"}, "option '--fill' doesn't allow an argument"},
        {{"--language", "fra,en-GB"},
         "--language needs ISO 639 language codes separated by commas (\"fra,eng\"), not "
         "\"en-GB\""},
        {{"--language=fra;eng"},
         "--language needs ISO 639 language codes separated by commas (\"fra,eng\"), not "
         "\"fra;eng\""},
        // Two letters no table row knows could never match a film's three-letter tags.
        {{"--language", "fr,xx"},
         "--language needs ISO 639 language codes separated by commas (\"fra,eng\"), not "
         "\"xx\""},
        {{"--language", "und"},
         "--language needs ISO 639 language codes separated by commas (\"fra,eng\"), not "
         "\"und\""},
        {{"--language", " , "},
         "--language needs ISO 639 language codes separated by commas (\"fra,eng\"), not "
         "\" , \""},
    };
    for (const auto& [options, message] : rows) {
        std::vector<std::string> arguments = options;
        arguments.push_back("a.mkv");
        EXPECT_EQ(error_of(arguments), message) << options.front();
    }
}

// What config.ini (or the options over it) holds becomes the batch's choices: the owner's
// languages, else the desktop's, as ISO 639-2/T codes.
TEST(FilmChoices, TheSettingsBecomeTheBatchsChoices) {
    using Languages = std::vector<std::string>;
    AppSettings chosen;
    chosen.video_codec = "h264";
    chosen.preferred_languages = {"fr", "ger", "fra", "xx", "qaa", "und"};
    chosen.subtitles = AppSettings::Subtitles::off;
    chosen.crop = 0;
    chosen.fill = 5;
    chosen.video_quality = AppSettings::Quality::lower;
    chosen.picture_size = AppSettings::PictureSize::tv;
    struct Row {
        AppSettings settings;
        Languages desktop;
        Languages languages;
    };
    const Row rows[] = {
        {AppSettings{}, {"fra", "eng"}, {"fra", "eng"}},
        {AppSettings{}, {}, {}},
        {chosen, {"eng"}, {"fra", "deu", "qaa"}},
    };
    for (const Row& row : rows) {
        const ConversionChoices choices = conversion_choices(row.settings, row.desktop);
        EXPECT_EQ(choices.languages, row.languages);
        EXPECT_EQ(choices.video_codec, row.settings.video_codec);
    }
    const ConversionChoices defaults = conversion_choices(AppSettings{}, {});
    EXPECT_EQ(defaults.subtitles, SubtitleChoice::foreign);
    EXPECT_TRUE(defaults.crop);
    EXPECT_FALSE(defaults.fill);
    EXPECT_EQ(defaults.quality, std::nullopt);
    EXPECT_EQ(defaults.picture_size, PictureSize::screen);
    const ConversionChoices changed = conversion_choices(chosen, {});
    EXPECT_EQ(changed.subtitles, SubtitleChoice::off);
    EXPECT_FALSE(changed.crop);
    EXPECT_TRUE(changed.fill);
    EXPECT_EQ(changed.quality, VideoQuality::lower);
    EXPECT_EQ(changed.picture_size, PictureSize::tv);
}

TEST(PrintableName, ControlsAndBrokenUtf8AreEscapedTheRestKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain song.mp3", "plain song.mp3"},
        {"Beyonc\xc3\xa9 \xe6\xad\x8c.mp3", "Beyonc\xc3\xa9 \xe6\xad\x8c.mp3"}, // UTF-8 kept
        {"a\nb\tc\rd", "a\\nb\\tc\\rd"},
        {"\x1b]2;owned\x07\x1b[2J.mp3", "\\x1b]2;owned\\x07\\x1b[2J.mp3"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b"
         "2J",
         "csi\\xc2\\x9b2J"},                        // C1 control in UTF-8
        {"latin1 \xe9t\xe9", "latin1 \\xe9t\\xe9"}, // not UTF-8
        {"cut \xe6\xad", "cut \\xe6\\xad"},         // truncated sequence
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
        {"back\\slash", "back\\\\slash"},
    };
    for (const auto& [name, printed] : cases) {
        EXPECT_EQ(printable_name(name), printed);
    }
}

TEST(ProgressLine, FitsTheWidthAndKeepsTheNumbers) {
    const std::string long_name(200, 'x');
    const std::string wide = "\xe6\xad\x8c\xe6\x9b\xb2"; // two wide characters
    struct Case {
        std::vector<ActiveFile> files;
        std::optional<double> left;
        int width;
        std::string expected; // empty: only the width is checked
    };
    const Case cases[] = {
        {{{"song.mp3", 45}}, 70.0, 80, "3/12 song.mp3 45%  1:10 left"},
        {{{"a.mp3", 45}, {"b.mp3", 7}}, std::nullopt, 80, "3/12 a.mp3 45% | b.mp3 7%"},
        {{{long_name + ".mp3", 5}}, 3725.0, 40, ""},
        {{{long_name, 5}, {wide + long_name, 99}}, 1.0, 50, ""},
        {{{long_name, 5}}, 1.0, 10, ""},
        {{{long_name, 5}}, 1.0, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string line = progress_line(c.files, 3, 12, c.left, c.width);
        SCOPED_TRACE(line);
        EXPECT_LE(display_width(line), c.width);
        if (!c.expected.empty()) {
            EXPECT_EQ(line, c.expected);
        } else if (c.width >= 40) {
            EXPECT_NE(line.find(c.files.front().name.substr(0, 5)), std::string::npos);
            EXPECT_NE(line.find("5%"), std::string::npos);
            EXPECT_NE(line.find(" left"), std::string::npos);
        }
    }
    EXPECT_EQ(clock_text(3725.0), "1:02:05");
}

TEST(DeviceChoice, ByNumberOrByAUniquePartOfTheName) {
    const DeviceTable table = device_table("/x/");
    EXPECT_EQ(std::get<int>(choose_device(table, "4")), 4);
    EXPECT_EQ(std::get<int>(choose_device(table, "nano")), 1);
    EXPECT_EQ(std::get<int>(choose_device(table, "PSP")), 4);
    EXPECT_EQ(std::get<int>(choose_device(table, "Touch")), 0);
    EXPECT_EQ(std::get<std::string>(choose_device(table, "5")),
              "no device number 5 (see --list-devices)");
    EXPECT_EQ(std::get<std::string>(choose_device(table, "99999999999")),
              "no device number 99999999999 (see --list-devices)");
    EXPECT_EQ(std::get<std::string>(choose_device(table, "zune")),
              "no device is called \"zune\" (see --list-devices)");
    EXPECT_NE(std::get<std::string>(choose_device(table, "ipod")).find("could be any of"),
              std::string::npos);
}

} // namespace
} // namespace morvane
