// SPDX-License-Identifier: GPL-3.0-or-later
// The user's settings: one record per process, owned by the main window, read by the
// conversion worker and the settings pages through plain pointers.
#pragma once

#include <string>
#include <vector>

namespace morvane {

struct AppSettings {
    // Flags are tested as zero / non-zero; the settings pages store exactly 0 or 1.
    int stay_on_top = 0; // an ordinary window unless the user asks
    int shutdown_after_batch = 0;
    int open_output_after_batch = 1;
    // Converted files are copied onto a connected player too (the desktop program).
    int send_to_player = 1;
    // Outputs keep the layout of the folders their inputs were found in.
    int keep_folders = 0;
    // A row of the device table (jobs' device_table.h), which judges an index it has no row
    // for (valid_device_index).
    int device_index = 0;
    // The picture codec of films, by FFmpeg's name ("mpeg4", "h264"), where the device plays
    // it; MPEG-4 plays on every model.
    std::string video_codec = "mpeg4";
    // The folder outputs are written into (UTF-8); ends in "/" once loaded (see load_settings).
    std::string output_folder;

    // Films. What each becomes is the jobs' to say (conversion choices); here only what the
    // owner chose, as config.ini holds it.
    //
    // The languages the owner understands, most preferred first: ISO 639 codes of two or
    // three lower-case letters as written ("fr", "eng"). None: the desktop's language.
    std::vector<std::string> preferred_languages;
    enum class Subtitles {
        off,
        foreign, // when the sound is not in a preferred language
        always,
    };
    Subtitles subtitles = Subtitles::foreign;
    int crop = 1; // black bars baked into the picture are cut away
    int fill = 0; // the picture fills the screen, its sides cut, instead of black borders
    // The steps of picture quality; `device` keeps the device's own rate.
    enum class Quality { device, highest, higher, normal, lower };
    Quality video_quality = Quality::device;
    // Films for the player's own screen, or for a television (on the players that play it).
    enum class PictureSize { screen, tv };
    PictureSize picture_size = PictureSize::screen;

    bool operator==(const AppSettings&) const = default;
};

} // namespace morvane
