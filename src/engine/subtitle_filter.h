// SPDX-License-Identifier: GPL-3.0-or-later
// The libavfilter text that burns an input's text subtitles into its scaled picture (libass,
// through FFmpeg's `subtitles` filter, which reads the events from the file itself).
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

struct TextSubtitleBurn {
    std::string path;         // the input file
    int subtitle_ordinal = 0; // the stream's place among the file's subtitle streams
    int picture_width = 0;    // the scaled picture the text is drawn on
    int picture_height = 0;
    int text_height = 0;     // pixels of a line of text on that picture
    int script_height = 288; // the script's PlayResY: what its font sizes are counted in
    // Microseconds the file's times lie ahead of the frames' (the file's start time): the
    // filter reads the events in the file's times.
    std::int64_t file_offset = 0;
};

// "setpts=...,subtitles=filename=...:si=...:original_size=...:force_style=...,setpts=..."
std::string text_subtitle_filters(const TextSubtitleBurn& burn);

// `text` escaped as one option value inside one filter of a graph's description: first for
// the filter's own options (':' separates them), then for the graph (',', ';', '[' and ']').
std::string escaped_filter_value(const std::string& text);

// The script's PlayResY from an ASS/SSA header (a stream's extradata); 288, libass's own
// default, when it names none.
int script_height(const std::string& header);

} // namespace morvane
