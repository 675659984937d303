// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/mount_table.h"

#include <algorithm>
#include <array>

namespace morvane {

namespace {

// The kernel writes a space, tab, newline and backslash in a path as a backslash and three
// octal digits ("My\040iPod").
std::string unescaped(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const auto octal = [](char c) { return c >= '0' && c <= '7'; };
            if (octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
                text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                          (field[i + 3] - '0'));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = line.find(' ', start);
        const std::size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop > start) {
            fields.push_back(line.substr(start, stop - start));
        }
        start = stop + 1;
    }
    return fields;
}

} // namespace

std::vector<MountedFileSystem> parse_mountinfo(std::string_view mountinfo) {
    std::vector<MountedFileSystem> mounts;
    std::size_t start = 0;
    while (start < mountinfo.size()) {
        std::size_t end = mountinfo.find('\n', start);
        if (end == std::string_view::npos) {
            end = mountinfo.size();
        }
        // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": the mount
        // point is the fifth field; the type follows the "-" that ends the optional fields.
        const std::vector<std::string_view> fields =
            fields_of(mountinfo.substr(start, end - start));
        start = end + 1;
        if (fields.size() < 7) {
            continue;
        }
        for (std::size_t i = 6; i + 1 < fields.size(); ++i) {
            if (fields[i] == "-") {
                mounts.push_back({unescaped(fields[4]), unescaped(fields[i + 1])});
                break;
            }
        }
    }
    return mounts;
}

bool may_be_player_file_system(const std::string& type) {
    static constexpr std::array<std::string_view, 7> types = {
        "vfat", "msdos", "exfat", "hfsplus", "hfs", "fuseblk", "fuse.exfat"};
    return std::ranges::find(types, type) != types.end();
}

} // namespace morvane
