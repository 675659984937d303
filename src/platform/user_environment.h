// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user's per-application data and settings live: the XDG data and config homes,
// and the default output folder. The process environment is read in one place, of_this_process(),
// so tests describe any environment by filling the fields themselves.
#pragma once

#include <string>

namespace morvane {

struct UserEnvironment {
    std::string xdg_data_home;   // $XDG_DATA_HOME as set, or empty
    std::string home;            // $HOME, or the account's home folder, or empty
    std::string temp_folder;     // last resort when there is no home at all
    std::string xdg_config_home; // $XDG_CONFIG_HOME as set, or empty

    static UserEnvironment of_this_process();

    // $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share, else the temp
    // folder; always ends in "/".
    std::string data_home() const;
    // $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config, else the temp
    // folder; always ends in "/".
    std::string config_home() const;
    // <data home>Morvane/
    std::string default_output_folder() const;
};

} // namespace morvane
