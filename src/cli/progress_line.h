// SPDX-License-Identifier: GPL-3.0-or-later
// The one updating line morvane-convert keeps on a terminal: the file(s) being converted,
// their percentages, the batch's count and its time left, cut to the terminal's width.
#pragma once

#include "jobs/clock_text.h"

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct ActiveFile {
    std::string name; // already printable
    int percent = 0;
};

// "3/12 song.mp3 45%  1:10 left"; with several files "3/12 a.mp3 45% | b.mp3 12%  1:10 left".
// `started` counts the files begun so far; `seconds_left` is empty until it can be guessed.
// Names are shortened in the middle so that the line takes at most `width` columns.
std::string progress_line(const std::vector<ActiveFile>& files, int started, int total,
                          std::optional<double> seconds_left, int width);

// Columns a string takes on a terminal, counted generously (wide scripts as two).
int display_width(const std::string& text);

} // namespace morvane
