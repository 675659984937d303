// SPDX-License-Identifier: GPL-3.0-or-later
// Media extensions.
#include "conversion_window/media_files.h"

namespace morvane {

const std::vector<std::string>& media_extensions() {
    static const std::vector<std::string> extensions = {
        "3g2",  "3gp", "aac", "ac3",  "aif",  "aiff", "amr", "ape",  "asf", "avi",
        "divx", "dv",  "f4v", "flac", "flv",  "m2ts", "m4a", "m4v",  "mka", "mkv",
        "mov",  "mp2", "mp3", "mp4",  "mpeg", "mpg",  "mts", "oga",  "ogg", "ogv",
        "opus", "ra",  "rm",  "rmvb", "ts",   "vob",  "wav", "webm", "wma", "wmv"};
    return extensions;
}

} // namespace morvane
