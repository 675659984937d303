// Where the settings live: config.ini in the executable's folder, and the default output
// folder in the user's data home. A value, so that tests point both at temporary folders.
#pragma once

#include <string>

namespace morvane {

struct SettingsLocation {
    std::string module_directory;      // ends in "/"
    std::string default_output_folder; // ends in "/"

    // Beside the running executable, in this user's data home.
    static SettingsLocation of_this_process();

    std::string config_file() const { return module_directory + "config.ini"; }
};

} // namespace morvane
