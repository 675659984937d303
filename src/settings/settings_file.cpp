// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include "platform/ini_file.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace morvane {
namespace {

constexpr const char* section = "Common";
constexpr const char* output_folder_key = "OutputFolder";
constexpr const char* shutdown_key = "Shutdown";
constexpr const char* open_output_key = "OpenOutput";
constexpr const char* send_to_player_key = "SendToPlayer";
constexpr const char* stay_on_top_key = "Topmost";
constexpr const char* device_index_key = "DeviceIndex";
constexpr const char* keep_folders_key = "KeepFolders";
constexpr const char* video_codec_key = "VideoCodec";
constexpr const char* languages_key = "PreferredLanguages";
constexpr const char* subtitles_key = "Subtitles";
constexpr const char* crop_key = "Crop";
constexpr const char* fill_key = "Fill";
constexpr const char* video_quality_key = "VideoQuality";
constexpr const char* picture_size_key = "PictureSize";

// The words of each choice in the file, in the order of its values. The quality the device
// gives of itself is no word: the key is left empty.
constexpr const char* subtitles_names[] = {"off", "foreign", "always"};
constexpr const char* crop_names[] = {"off", "auto"};
constexpr const char* video_quality_names[] = {"", "highest", "higher", "normal", "lower"};
constexpr const char* picture_size_names[] = {"screen", "tv"};

// More than this is no list of languages anyone understands: a damaged value.
constexpr std::size_t most_languages = 32;

std::string flag_text(int flag) {
    return flag != 0 ? "1" : "0";
}

template <typename Value, std::size_t count>
std::string name_text(Value value, const char* const (&names)[count]) {
    return names[static_cast<std::size_t>(value)];
}

std::string lower_case(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The value whose word the key holds (in any case); a word the list lacks, as a missing key,
// gives the fallback.
template <typename Value, std::size_t count>
Value read_named(const IniFile& file, const char* key, const char* const (&names)[count],
                 Value fallback) {
    const std::string word = lower_case(file.read_string(section, key, name_text(fallback, names)));
    for (std::size_t at = 0; at < count; ++at) {
        if (word == names[at]) {
            return static_cast<Value>(at);
        }
    }
    return fallback;
}

std::string languages_text(const std::vector<std::string>& languages) {
    std::string text;
    for (const std::string& language : languages) {
        text += (text.empty() ? "" : ",") + language;
    }
    return text;
}

// "fra, ENG" as {"fra", "eng"}: codes of two or three ASCII letters, each once, blanks and
// empty entries ignored. Anything else in the list makes the whole of it none: the
// desktop's language, not a guess at what a damaged value meant.
std::vector<std::string> languages_of(std::string_view text) {
    std::vector<std::string> languages;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view entry = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t')) {
            entry.remove_prefix(1);
        }
        while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t')) {
            entry.remove_suffix(1);
        }
        if (entry.empty()) {
            continue;
        }
        const std::string code = lower_case(std::string(entry));
        const bool letters =
            code.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
        if (!letters || code.size() < 2 || code.size() > 3) {
            return {};
        }
        if (std::find(languages.begin(), languages.end(), code) == languages.end()) {
            if (languages.size() == most_languages) {
                return {};
            }
            languages.push_back(code);
        }
    }
    return languages;
}

// Each key with its value as the file holds it, in the order a new file lists them.
struct Key {
    const char* name;
    std::string (*text)(const AppSettings&);
};
constexpr Key keys[] = {
    {output_folder_key, [](const AppSettings& s) { return s.output_folder; }},
    {open_output_key, [](const AppSettings& s) { return flag_text(s.open_output_after_batch); }},
    {shutdown_key, [](const AppSettings& s) { return flag_text(s.shutdown_after_batch); }},
    {send_to_player_key, [](const AppSettings& s) { return flag_text(s.send_to_player); }},
    {stay_on_top_key, [](const AppSettings& s) { return flag_text(s.stay_on_top); }},
    {device_index_key, [](const AppSettings& s) { return std::to_string(s.device_index); }},
    {keep_folders_key, [](const AppSettings& s) { return flag_text(s.keep_folders); }},
    {video_codec_key, [](const AppSettings& s) { return s.video_codec; }},
    {languages_key, [](const AppSettings& s) { return languages_text(s.preferred_languages); }},
    {subtitles_key, [](const AppSettings& s) { return name_text(s.subtitles, subtitles_names); }},
    {crop_key, [](const AppSettings& s) { return name_text(s.crop != 0, crop_names); }},
    {fill_key, [](const AppSettings& s) { return flag_text(s.fill); }},
    {video_quality_key,
     [](const AppSettings& s) { return name_text(s.video_quality, video_quality_names); }},
    {picture_size_key,
     [](const AppSettings& s) { return name_text(s.picture_size, picture_size_names); }},
};

// Writes the keys of `settings` that differ from `stored` (every key without it).
std::optional<std::string> save_keys(const AppSettings& settings, const AppSettings* stored,
                                     const SettingsLocation& location) {
    std::vector<const Key*> changed;
    for (const Key& key : keys) {
        if (stored == nullptr || key.text(*stored) != key.text(settings)) {
            changed.push_back(&key);
        }
    }
    if (changed.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(location.config_directory, error);
    if (error) {
        return "cannot create the folder " + location.config_directory + ": " + error.message();
    }
    // Read again now: what another Morvane wrote since stays.
    IniFile file = IniFile::load(location.config_file());
    // Only the folder can hold what no line carries (a line break).
    bool folder_written = true;
    for (const Key* key : changed) {
        if (!file.write_string(section, key->name, key->text(settings))) {
            folder_written = false;
        }
    }
    std::string failure;
    if (!file.save(&failure)) {
        return "cannot save the settings in " + location.config_file() + ": " + failure;
    }
    if (!folder_written) {
        return std::string("the output folder's name holds a line break and was not saved");
    }
    return std::nullopt;
}

// The stored folder as a folder: outputs are named inside it, never beside it.
std::string usable_output_folder(std::string folder, const std::string& default_folder) {
    std::error_code error;
    const bool names_other_thing =
        std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error);
    if (folder.empty() || folder.front() != '/' || names_other_thing) {
        return default_folder;
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

} // namespace

void load_settings(AppSettings& settings, const SettingsLocation& location) {
    const IniFile file = IniFile::load(location.config_file());
    settings.output_folder = usable_output_folder(file.read_string(section, output_folder_key, {}),
                                                  location.default_output_folder);

    // Parents too: a fresh account may not have ~/.local/share yet.
    std::error_code ignored;
    std::filesystem::create_directories(location.default_output_folder, ignored);

    settings.shutdown_after_batch = file.read_int(section, shutdown_key, 0);
    settings.open_output_after_batch = file.read_int(section, open_output_key, 1);
    // Files written before the setting existed mean on.
    settings.send_to_player = file.read_int(section, send_to_player_key, 1);
    settings.stay_on_top = file.read_int(section, stay_on_top_key, 0);
    settings.keep_folders = file.read_int(section, keep_folders_key, 0);
    // An index outside the table is the table's to judge (valid_device_index): it alone
    // knows how many rows it has.
    settings.device_index = file.read_int(section, device_index_key, 0);
    // A name no device plays leaves films in each device's first codec (see ConversionJob).
    settings.video_codec = file.read_string(section, video_codec_key, "mpeg4");

    // A word no choice has, written by hand, gives the default, as a missing key does.
    settings.preferred_languages = languages_of(file.read_string(section, languages_key, {}));
    settings.subtitles =
        read_named(file, subtitles_key, subtitles_names, AppSettings::Subtitles::foreign);
    settings.crop = read_named(file, crop_key, crop_names, 1);
    settings.fill = file.read_int(section, fill_key, 0);
    settings.video_quality =
        read_named(file, video_quality_key, video_quality_names, AppSettings::Quality::device);
    settings.picture_size =
        read_named(file, picture_size_key, picture_size_names, AppSettings::PictureSize::screen);
}

std::optional<std::string> save_settings(const AppSettings& settings,
                                         const SettingsLocation& location) {
    return save_keys(settings, nullptr, location);
}

std::optional<std::string> save_changed_settings(const AppSettings& stored,
                                                 const AppSettings& settings,
                                                 const SettingsLocation& location) {
    return save_keys(settings, &stored, location);
}

} // namespace morvane
