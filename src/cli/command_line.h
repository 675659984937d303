// SPDX-License-Identifier: GPL-3.0-or-later
// What the user asked morvane-convert to do.
#pragma once

#include "settings/app_settings.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace morvane {

struct CommandLine {
    enum class Action { convert, list_devices, help, version };

    Action action = Action::convert;
    std::optional<std::string> device;      // a row index or part of a device's name
    std::optional<std::string> output_dir;  // as given
    std::optional<std::string> send_to;     // a player's root, as given
    std::optional<std::string> video_codec; // the films' picture codec, as given
    // The owner's choices about films; each given replaces config.ini's.
    std::optional<std::vector<std::string>> languages; // ISO 639 codes, lower case, in order
    std::optional<AppSettings::Subtitles> subtitles;
    std::optional<bool> crop;
    bool fill = false;
    std::optional<AppSettings::Quality> quality;
    std::optional<AppSettings::PictureSize> picture_size;
    std::vector<std::string> files;      // files and folders, as given
    std::vector<std::string> files_from; // lists of inputs, "-" for standard input
    bool null_separated = false;         // the list's entries end with NUL, not newline
    bool recursive = false;
    bool skip_existing = false;
    bool keep_folders = false; // outputs in their inputs' folders under the walked ones
    bool json = false;
    bool quiet = false;
    std::optional<int> jobs; // files converted at once; by default one per processor
};

struct UsageError {
    std::string message;
};

// GNU conventions (getopt_long): options and files in any order, "--" ends the options,
// short options may be bundled ("-rq", "-j2"), long options may be abbreviated ("--rec")
// and take "=value" or the next argument. Mistakes come back in getopt's own words.
std::variant<CommandLine, UsageError> parse_command_line(const std::vector<std::string>& arguments);

// The text of --help.
std::string usage_text();

} // namespace morvane
