// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/subtitle_filter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace morvane {

namespace {

std::string backslashed(const std::string& text, const char* special) {
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (std::string_view(special).find(c) != std::string_view::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

std::string escaped_filter_value(const std::string& text) {
    return backslashed(backslashed(text, "\\':"), "\\',;[]");
}

int script_height(const std::string& header) {
    const std::size_t at = header.find("PlayResY:");
    if (at == std::string::npos) {
        return 288;
    }
    const long height = std::strtol(header.c_str() + at + 9, nullptr, 10);
    return height > 0 && height <= 16384 ? static_cast<int>(height) : 288;
}

std::string text_subtitle_filters(const TextSubtitleBurn& burn) {
    // Font sizes are counted in the script's lines: a line of `text_height` pixels on the
    // picture is that share of the script's height.
    const long font_size =
        std::max(1L, std::lround(static_cast<double>(burn.text_height) * burn.script_height /
                                 std::max(1, burn.picture_height)));
    char options[160];
    std::snprintf(options, sizeof options, ":si=%d:original_size=%dx%d:force_style=Fontsize=%ld",
                  burn.subtitle_ordinal, burn.picture_width, burn.picture_height, font_size);
    // "file:" keeps FFmpeg from reading a name with a colon as a protocol.
    std::string filter =
        "subtitles=filename=" + escaped_filter_value("file:" + burn.path) + options;
    if (burn.file_offset == 0) {
        return filter;
    }
    // The frames move to the file's times for the filter and back after it.
    char shift[96];
    std::snprintf(shift, sizeof shift, "%.6f/TB",
                  static_cast<double>(std::llabs(burn.file_offset)) / 1000000.0);
    const bool ahead = burn.file_offset > 0;
    return std::string("setpts=PTS") + (ahead ? "+" : "-") + shift + "," + filter + ",setpts=PTS" +
           (ahead ? "-" : "+") + shift;
}

} // namespace morvane
