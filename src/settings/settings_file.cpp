// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include "platform/ini_file.h"

#include <filesystem>
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

std::string flag_text(int flag) {
    return flag != 0 ? "1" : "0";
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
