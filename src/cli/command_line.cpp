// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"

#include "jobs/settings_choices.h"

#include <algorithm>
#include <charconv>
#include <getopt.h>

namespace morvane {

namespace {

constexpr int most_jobs = 64;

std::optional<int> jobs_count(const std::string& text) {
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc() || end != text.data() + text.size() || count < 1 ||
        count > most_jobs) {
        return std::nullopt;
    }
    return count;
}

// The value of a word an option takes, from its list of words and values.
template <typename Value>
struct Word {
    const char* word;
    Value value;
};

template <typename Value, std::size_t count>
std::optional<Value> word_value(const std::string& text, const Word<Value> (&words)[count]) {
    for (const Word<Value>& entry : words) {
        if (text == entry.word) {
            return entry.value;
        }
    }
    return std::nullopt;
}

// "--quality needs highest, higher, normal or lower, not "best"".
template <typename Value, std::size_t count>
std::string words_needed(const char* option, const Word<Value> (&words)[count],
                         const std::string& given) {
    std::string text = std::string(option) + " needs ";
    for (std::size_t at = 0; at < count; ++at) {
        text += (at == 0 ? "" : at + 1 == count ? " or " : ", ") + std::string(words[at].word);
    }
    return text + ", not \"" + given + "\"";
}

constexpr Word<AppSettings::Subtitles> subtitles_words[] = {
    {"off", AppSettings::Subtitles::off},
    {"foreign", AppSettings::Subtitles::foreign},
    {"always", AppSettings::Subtitles::always},
};
constexpr Word<bool> crop_words[] = {{"auto", true}, {"off", false}};
constexpr Word<AppSettings::Quality> quality_words[] = {
    {"highest", AppSettings::Quality::highest},
    {"higher", AppSettings::Quality::higher},
    {"normal", AppSettings::Quality::normal},
    {"lower", AppSettings::Quality::lower},
};
constexpr Word<AppSettings::PictureSize> picture_size_words[] = {
    {"screen", AppSettings::PictureSize::screen},
    {"tv", AppSettings::PictureSize::tv},
};

// Long options without a short name get values above any character.
enum LongOnly : int {
    device = 256,
    output_dir,
    send_to,
    video_codec,
    language,
    subtitles,
    crop,
    fill,
    quality,
    picture_size,
    files_from,
    skip_existing,
    keep_folders,
    json,
    list_devices,
    version,
};

constexpr option long_options[] = {
    {"device", required_argument, nullptr, device},
    {"output-dir", required_argument, nullptr, output_dir},
    {"send-to", required_argument, nullptr, send_to},
    {"video-codec", required_argument, nullptr, video_codec},
    {"language", required_argument, nullptr, language},
    {"subtitles", required_argument, nullptr, subtitles},
    {"crop", required_argument, nullptr, crop},
    {"fill", no_argument, nullptr, fill},
    {"quality", required_argument, nullptr, quality},
    {"picture-size", required_argument, nullptr, picture_size},
    {"recursive", no_argument, nullptr, 'r'},
    {"files-from", required_argument, nullptr, files_from},
    {"null", no_argument, nullptr, '0'},
    {"skip-existing", no_argument, nullptr, skip_existing},
    {"keep-folders", no_argument, nullptr, keep_folders},
    {"jobs", required_argument, nullptr, 'j'},
    {"json", no_argument, nullptr, json},
    {"quiet", no_argument, nullptr, 'q'},
    {"list-devices", no_argument, nullptr, list_devices},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, version},
    {nullptr, 0, nullptr, 0},
};
// The leading ':' tells a missing argument from an unknown option.
constexpr const char* short_options = ":r0j:qh";

std::string long_name(int value) {
    for (const option& entry : long_options) {
        if (entry.name != nullptr && entry.val == value) {
            return entry.name;
        }
    }
    return {};
}

// The words getopt itself would print (it is told not to: the caller says it once).
std::string getopt_message(int result, int wrong, const std::string& argument) {
    const bool long_form = argument.rfind("--", 0) == 0;
    const std::string given = argument.substr(0, argument.find('='));
    if (result == ':') {
        return long_form ? "option '--" + long_name(wrong) + "' requires an argument"
                         : "option requires an argument -- '" + std::string(1, char(wrong)) + "'";
    }
    if (wrong != 0) {
        return long_form ? "option '--" + long_name(wrong) + "' doesn't allow an argument"
                         : "invalid option -- '" + std::string(1, char(wrong)) + "'";
    }
    std::string candidates;
    for (const option& entry : long_options) {
        if (entry.name != nullptr && std::string(entry.name).rfind(given.substr(2), 0) == 0) {
            candidates += std::string(" '--") + entry.name + "'";
        }
    }
    if (long_form && candidates.find(' ', 1) != std::string::npos) {
        return "option '" + given + "' is ambiguous; possibilities:" + candidates;
    }
    return "unrecognized option '" + given + "'";
}

} // namespace

std::variant<CommandLine, UsageError>
parse_command_line(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"morvane-convert"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    CommandLine line;
    // getopt keeps its place in globals: 0 starts it afresh, and it prints nothing itself.
    optind = 0;
    opterr = 0;
    for (;;) {
        const int result = getopt_long(argc, argv.data(), short_options, long_options, nullptr);
        if (result == -1) {
            break;
        }
        const std::string value = optarg != nullptr ? optarg : "";
        switch (result) {
        case device:
            if (value.empty()) {
                return UsageError{"--device needs a device number or name"};
            }
            line.device = value;
            break;
        case output_dir:
            if (value.empty()) {
                return UsageError{"--output-dir needs a folder"};
            }
            line.output_dir = value;
            break;
        case send_to:
            if (value.empty()) {
                return UsageError{"--send-to needs the folder where a player is mounted"};
            }
            line.send_to = value;
            break;
        case video_codec:
            line.video_codec = value;
            break;
        case language: {
            LanguageList list = read_language_list(value);
            if (!list.wrong.empty() || list.codes.empty()) {
                return UsageError{"--language needs ISO 639 language codes separated by commas "
                                  "(\"fra,eng\"), not \"" +
                                  (list.wrong.empty() ? value : list.wrong) + "\""};
            }
            line.languages = std::move(list.codes);
            break;
        }
        case subtitles:
            line.subtitles = word_value(value, subtitles_words);
            if (!line.subtitles) {
                return UsageError{words_needed("--subtitles", subtitles_words, value)};
            }
            break;
        case crop:
            line.crop = word_value(value, crop_words);
            if (!line.crop) {
                return UsageError{words_needed("--crop", crop_words, value)};
            }
            break;
        case fill:
            line.fill = true;
            break;
        case quality:
            line.quality = word_value(value, quality_words);
            if (!line.quality) {
                return UsageError{words_needed("--quality", quality_words, value)};
            }
            break;
        case picture_size:
            line.picture_size = word_value(value, picture_size_words);
            if (!line.picture_size) {
                return UsageError{words_needed("--picture-size", picture_size_words, value)};
            }
            break;
        case files_from:
            if (value.empty()) {
                return UsageError{"--files-from needs a file, or - for standard input"};
            }
            line.files_from.push_back(value);
            break;
        case 'j':
            line.jobs = jobs_count(value);
            if (!line.jobs) {
                return UsageError{"--jobs needs a number from 1 to " + std::to_string(most_jobs) +
                                  ", not \"" + value + "\""};
            }
            break;
        case 'r':
            line.recursive = true;
            break;
        case '0':
            line.null_separated = true;
            break;
        case skip_existing:
            line.skip_existing = true;
            break;
        case keep_folders:
            line.keep_folders = true;
            break;
        case json:
            line.json = true;
            break;
        case 'q':
            line.quiet = true;
            break;
        case list_devices:
            line.action = CommandLine::Action::list_devices;
            break;
        case 'h':
            line.action = CommandLine::Action::help;
            break;
        case version:
            line.action = CommandLine::Action::version;
            break;
        default: {
            const int at = std::min(std::max(optind - 1, 1), argc - 1);
            return UsageError{getopt_message(result, optopt, argv[static_cast<std::size_t>(at)])};
        }
        }
    }
    // getopt moved the names behind the options.
    for (int index = optind; index < argc; ++index) {
        line.files.emplace_back(argv[static_cast<std::size_t>(index)]);
    }
    if (line.null_separated && line.files_from.empty()) {
        return UsageError{"-0 only goes with --files-from"};
    }
    if (line.action == CommandLine::Action::convert && line.files.empty() &&
        line.files_from.empty()) {
        return UsageError{"no files to convert"};
    }
    return line;
}

std::string usage_text() {
    return "Usage: morvane-convert [OPTION]... FILE|FOLDER...\n"
           "       morvane-convert [OPTION]... --files-from LIST\n"
           "       morvane-convert --list-devices | --help | --version\n"
           "\n"
           "Converts audio and video files for a portable player.\n"
           "\n"
           "  --device D           the player: its number or part of its name (\"nano\",\n"
           "                       \"psp\"); the desktop program's choice by default\n"
           "  --output-dir DIR     where the converted files go, created when missing;\n"
           "                       the desktop program's folder by default\n"
           "  --video-codec C      the films' pictures: mpeg4 (plays on every model) or\n"
           "                       h264 (smaller files, for the players that play it);\n"
           "                       the desktop program's choice by default\n"
           "  --language LIST      the languages you understand, most preferred first:\n"
           "                       ISO 639 codes separated by commas (\"fra,eng\"); a film\n"
           "                       keeps the sound in the first it has; by default the\n"
           "                       desktop program's choice, else the desktop's language\n"
           "  --subtitles WHEN     a film's subtitles: off, foreign (when the sound is\n"
           "                       in none of your languages) or always\n"
           "  --crop auto|off      cut away black bars in a film's picture, or keep them\n"
           "  --fill               fill the screen, cutting the picture's sides, instead\n"
           "                       of black borders\n"
           "  --quality Q          the films' picture: highest, higher, normal or lower;\n"
           "                       by default the device's own rate\n"
           "  --picture-size S     films for the player's screen, or tv (640x480) on the\n"
           "                       players that play it\n"
           "  --send-to PLAYER     also copy each converted file onto the player mounted\n"
           "                       at PLAYER (a PSP's memory stick: films into VIDEO/,\n"
           "                       sound into MUSIC/; an iPod's library), unless it holds\n"
           "                       that file already\n"
           "  -r, --recursive      walk folders for media (by content or extension);\n"
           "                       other files are passed over\n"
           "  --files-from LIST    also convert the files named in LIST, one a line\n"
           "                       (- reads standard input); may be repeated\n"
           "  -0, --null           LIST's names end with NUL (find -print0)\n"
           "  --skip-existing      skip an input whose complete output for this device is\n"
           "                       already in the folder (a player still gets it)\n"
           "  --keep-folders       keep the layout of walked folders (Artist/Album/) in\n"
           "                       the output folder and on the player\n"
           "  -j, --jobs N         convert N files at once (default: one per processor)\n"
           "  --json               print the results as one JSON document\n"
           "  -q, --quiet          no progress and no summary on standard error\n"
           "  --list-devices       list the players\n"
           "  -h, --help           show this help\n"
           "  --version            show the version\n"
           "\n"
           "Long options may be shortened while they stay unique. Each file is converted\n"
           "once, however often it is named. Results go to standard output, progress and\n"
           "messages to standard error. The choices about films (--language to\n"
           "--picture-size) are the desktop program's by default.\n"
           "Ctrl-C, SIGTERM and SIGHUP stop: the current files end early but complete, the\n"
           "rest is not started. A second signal quits at once.\n"
           "Exit status: 0 all converted, 1 something not converted, not sent or not\n"
           "reported, "
           "2 wrong usage, 130/143/129 stopped by SIGINT/SIGTERM/SIGHUP.\n";
}

} // namespace morvane
