// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

#include <algorithm>

namespace morvane {

namespace {

bool is_continuation(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

int code_point_width(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    // Lead bytes from E1 on start U+1000 and above, where wide scripts live; count them as two
    // so that the line never wraps.
    return lead >= 0xe1 ? 2 : 1;
}

// The longest start of `text` that fits in `width` columns.
std::string head_fitting(const std::string& text, int width) {
    std::size_t at = 0;
    int used = 0;
    while (at < text.size()) {
        const int w = code_point_width(text, at);
        if (used + w > width) {
            break;
        }
        used += w;
        ++at;
        while (at < text.size() && is_continuation(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
    }
    return text.substr(0, at);
}

// The longest end of `text` that fits in `width` columns.
std::string tail_fitting(const std::string& text, int width) {
    std::size_t at = text.size();
    int used = 0;
    while (at > 0) {
        std::size_t start = at - 1;
        while (start > 0 && is_continuation(static_cast<unsigned char>(text[start]))) {
            --start;
        }
        const int w = code_point_width(text, start);
        if (used + w > width) {
            break;
        }
        used += w;
        at = start;
    }
    return text.substr(at);
}

std::string shortened(const std::string& name, int width) {
    if (display_width(name) <= width) {
        return name;
    }
    if (width <= 3) {
        return head_fitting(name, width);
    }
    // The end keeps the extension and the usual numbering; "~" marks the cut.
    const int tail = (width - 1) / 2;
    return head_fitting(name, width - 1 - tail) + "~" + tail_fitting(name, tail);
}

} // namespace

int display_width(const std::string& text) {
    int width = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!is_continuation(static_cast<unsigned char>(text[at]))) {
            width += code_point_width(text, at);
        }
    }
    return width;
}

std::string progress_line(const std::vector<ActiveFile>& files, int started, int total,
                          std::optional<double> seconds_left, int width) {
    const std::string count = std::to_string(started) + "/" + std::to_string(total);
    const std::string left = seconds_left ? "  " + clock_text(*seconds_left) + " left" : "";
    std::vector<std::string> percents;
    int fixed = display_width(count) + display_width(left);
    for (const ActiveFile& file : files) {
        percents.push_back(" " + std::to_string(file.percent) + "%");
        // The space before the first name, " | " before the others.
        fixed += (percents.size() == 1 ? 1 : 3) + static_cast<int>(percents.back().size());
    }
    const int room = width - fixed;
    const int per_name = files.empty() ? 0 : room / static_cast<int>(files.size());
    if (per_name < 4) {
        // Too narrow for names: the numbers alone, cut if even they do not fit.
        std::string line = count;
        for (const std::string& percent : percents) {
            line += percent;
        }
        return head_fitting(line + left, std::max(width, 0));
    }
    std::string line = count;
    for (std::size_t index = 0; index < files.size(); ++index) {
        line += index == 0 ? " " : " | ";
        line += shortened(files[index].name, per_name) + percents[index];
    }
    return line + left;
}

} // namespace morvane
