// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/device_choice.h"

#include <algorithm>
#include <cctype>

namespace morvane {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::variant<int, std::string> choose_device(const DeviceTable& table, const std::string& text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(),
                                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        if (text.size() < 4) {
            const int index = std::stoi(text);
            if (index < static_cast<int>(table.size())) {
                return index;
            }
        }
        return "no device number " + text + " (see --list-devices)";
    }
    const std::string wanted = lower(text);
    std::vector<int> matches;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (lower(table[row].display_name).find(wanted) != std::string::npos) {
            matches.push_back(static_cast<int>(row));
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    if (matches.empty()) {
        return "no device is called \"" + text + "\" (see --list-devices)";
    }
    std::string names;
    for (int row : matches) {
        names += (names.empty() ? "\"" : ", \"") +
                 table[static_cast<std::size_t>(row)].display_name + "\"";
    }
    return "\"" + text + "\" could be any of " + names;
}

} // namespace morvane
