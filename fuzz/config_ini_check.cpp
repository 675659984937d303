// SPDX-License-Identifier: GPL-3.0-or-later
// The config.ini check: the bytes as the user's config.ini. Read unchanged, the file saves
// back byte for byte; a key written into it reads back as written, whatever the value; the
// output folder loaded from it is one; settings changed and saved into it load back as saved.
#include "parser_checks.h"
#include "platform/ini_file.h"
#include "settings/settings_file.h"

#include <utility>
#include <vector>

namespace morvane::fuzz {

namespace {

// Values whose blanks, quotes or look a careless writer loses.
constexpr std::string_view awkward_values[] = {
    "",    " padded ", "\"quoted\"",   "'single'", "\"",           "\"half",
    "x=y", "[Common]", "; not a note", "\t",       "\xEF\xBB\xBF", "caf\xC3\xA9",
};

// Where the awkward values are written: a section the file may hold, and one it may not.
constexpr std::pair<const char*, const char*> probed_keys[] = {{"Common", "Probe"},
                                                               {"Fuzz section", "Key"}};

std::optional<std::string> check_ini_file(std::string_view bytes, const std::string& path) {
    const IniFile file = IniFile::load(path);
    if (file.source() != IniFile::Source::read) {
        return std::string("a small regular file was not read");
    }
    if (file.text() != bytes) {
        return std::string("the file read would not save back byte for byte");
    }
    for (const auto& [section, key] : probed_keys) {
        for (const std::string_view value : awkward_values) {
            IniFile changed = file;
            if (!changed.write_string(section, key, value)) {
                return "writing " + std::string(key) + " was refused";
            }
            if (changed.value(section, key) != std::string(value)) {
                return "\"" + std::string(value) + "\", written as " + key + ", reads back as \"" +
                       changed.value(section, key).value_or("(nothing)") + "\"";
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> usable_folder(const AppSettings& settings) {
    const std::string& folder = settings.output_folder;
    if (folder.empty() || folder.front() != '/' || folder.back() != '/') {
        return "the output folder \"" + folder + "\" was loaded";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> check_config_ini(std::string_view bytes,
                                            const std::filesystem::path& work_folder) {
    SettingsLocation location;
    location.data_folder = (work_folder / "data").string() + "/";
    location.default_output_folder = (work_folder / "default output").string() + "/";
    location.config_directory = (work_folder / "config").string() + "/";
    std::error_code error;
    std::filesystem::create_directories(location.config_directory, error);
    if (error || !write_whole_file(location.config_file(), bytes)) {
        return std::nullopt;
    }
    if (const auto broken = check_ini_file(bytes, location.config_file())) {
        return broken;
    }
    AppSettings loaded;
    load_settings(loaded, location);
    if (const auto broken = usable_folder(loaded)) {
        return broken;
    }
    // Every key changed, as the settings dialog saves.
    AppSettings changed = loaded;
    changed.stay_on_top = loaded.stay_on_top == 0 ? 1 : 0;
    changed.shutdown_after_batch = loaded.shutdown_after_batch == 0 ? 1 : 0;
    changed.open_output_after_batch = loaded.open_output_after_batch == 0 ? 1 : 0;
    changed.send_to_player = loaded.send_to_player == 0 ? 1 : 0;
    changed.keep_folders = loaded.keep_folders == 0 ? 1 : 0;
    changed.device_index = loaded.device_index == 1 ? 2 : 1;
    changed.video_codec = loaded.video_codec == "h264" ? "mpeg4" : "h264";
    changed.output_folder = (work_folder / " \"chosen\" = folder ").string() + "/";
    changed.preferred_languages = loaded.preferred_languages.empty()
                                      ? std::vector<std::string>{"fr", "eng"}
                                      : std::vector<std::string>{};
    changed.subtitles = loaded.subtitles == AppSettings::Subtitles::always
                            ? AppSettings::Subtitles::off
                            : AppSettings::Subtitles::always;
    changed.crop = loaded.crop == 0 ? 1 : 0;
    changed.fill = loaded.fill == 0 ? 1 : 0;
    changed.video_quality = loaded.video_quality == AppSettings::Quality::device
                                ? AppSettings::Quality::lower
                                : AppSettings::Quality::device;
    changed.picture_size = loaded.picture_size == AppSettings::PictureSize::tv
                               ? AppSettings::PictureSize::screen
                               : AppSettings::PictureSize::tv;
    if (const auto failure = save_changed_settings(loaded, changed, location)) {
        return "changed settings were not saved: " + *failure;
    }
    AppSettings reloaded;
    load_settings(reloaded, location);
    if (reloaded != changed) {
        return std::string("changed settings did not load back as saved");
    }
    return std::nullopt;
}

} // namespace morvane::fuzz
