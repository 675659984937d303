// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings live: config.ini in the user's config home ($XDG_CONFIG_HOME/morvane/,
// else ~/.config/morvane/), read by the desktop program and morvane-convert alike; the
// program's own files (skin, device pictures, icons) in its data folder; the default output
// folder in the user's data home. A value, so that tests point all three at temporary folders.
#pragma once

#include <string>

namespace morvane {

struct SettingsLocation {
    std::string data_folder;           // ends in "/"; Skins/, devices/, icons/
    std::string default_output_folder; // ends in "/"
    std::string config_directory;      // ends in "/"; created when settings are saved

    // The running executable's data folder; the others in this user's data and config homes.
    static SettingsLocation of_this_process();

    std::string config_file() const { return config_directory + "config.ini"; }
};

} // namespace morvane
