// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include "platform/ini_file.h"

#include <filesystem>
#include <system_error>

namespace morvane {
namespace {

constexpr const char* section = "Common";
constexpr const char* output_folder_key = "OutputFolder";
constexpr const char* shutdown_key = "Shutdown";
constexpr const char* open_output_key = "OpenOutput";
constexpr const char* send_to_player_key = "SendToPlayer";
constexpr const char* stay_on_top_key = "Topmost";
constexpr const char* device_index_key = "DeviceIndex";
constexpr const char* video_codec_key = "VideoCodec";

const char* flag_text(int flag) {
    return flag != 0 ? "1" : "0";
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
    settings.device_index = file.read_int(section, device_index_key, 0);
    // A hand-edited index must not reach the device table as an index out of its bounds.
    if (settings.device_index < 0 || settings.device_index >= device_row_count) {
        settings.device_index = 0;
    }
    // A name no device plays leaves films in each device's first codec (see ConversionJob).
    settings.video_codec = file.read_string(section, video_codec_key, "mpeg4");
}

std::optional<std::string> save_settings(const AppSettings& settings,
                                         const SettingsLocation& location) {
    std::error_code error;
    std::filesystem::create_directories(location.config_directory, error);
    if (error) {
        return "cannot create the folder " + location.config_directory + ": " + error.message();
    }
    IniFile file = IniFile::load(location.config_file());
    const bool folder_written =
        file.write_string(section, output_folder_key, settings.output_folder);
    file.write_string(section, open_output_key, flag_text(settings.open_output_after_batch));
    file.write_string(section, shutdown_key, flag_text(settings.shutdown_after_batch));
    file.write_string(section, send_to_player_key, flag_text(settings.send_to_player));
    file.write_string(section, stay_on_top_key, flag_text(settings.stay_on_top));
    file.write_int(section, device_index_key, settings.device_index);
    file.write_string(section, video_codec_key, settings.video_codec);
    std::string failure;
    if (!file.save(&failure)) {
        return "cannot save the settings in " + location.config_file() + ": " + failure;
    }
    if (!folder_written) {
        return std::string("the output folder's name holds a line break and was not saved");
    }
    return std::nullopt;
}

} // namespace morvane
