// SPDX-License-Identifier: GPL-3.0-or-later
// Media extensions and folder expansion.
#include "conversion_window/media_files.h"

#include <algorithm>
#include <filesystem>

namespace morvane {

namespace {

bool has_media_extension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (extension.size() < 2) {
        return false;
    }
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::vector<std::string>& known = media_extensions();
    return std::find(known.begin(), known.end(), extension) != known.end();
}

} // namespace

const std::vector<std::string>& media_extensions() {
    static const std::vector<std::string> extensions = {
        "3g2",  "3gp", "aac", "ac3",  "aif",  "aiff", "amr", "ape",  "asf", "avi",
        "divx", "dv",  "f4v", "flac", "flv",  "m2ts", "m4a", "m4v",  "mka", "mkv",
        "mov",  "mp2", "mp3", "mp4",  "mpeg", "mpg",  "mts", "oga",  "ogg", "ogv",
        "opus", "ra",  "rm",  "rmvb", "ts",   "vob",  "wav", "webm", "wma", "wmv"};
    return extensions;
}

std::vector<std::string> expand_media_folders(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::vector<std::string> expanded;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            expanded.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator entries(
            path, fs::directory_options::skip_permission_denied, error);
        for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
            // Hidden entries include the temporaries of conversions still being written.
            if (entries->path().filename().string().starts_with('.')) {
                entries.disable_recursion_pending();
                continue;
            }
            std::error_code status_error;
            if (entries->is_regular_file(status_error) && has_media_extension(entries->path())) {
                found.push_back(entries->path().string());
            }
        }
        std::sort(found.begin(), found.end());
        expanded.insert(expanded.end(), found.begin(), found.end());
    }
    return expanded;
}

} // namespace morvane
