// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the system's table of mounted file systems (/proc/self/mountinfo), to find the ones
// that may be players.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

struct MountedFileSystem {
    std::string mount_point; // as the system names it, its escapes undone
    std::string type;        // "vfat", "hfsplus", …
};

// The file systems `mountinfo` (the text of /proc/self/mountinfo) lists, in its order; lines
// that do not read as the kernel writes them are left out.
std::vector<MountedFileSystem> parse_mountinfo(std::string_view mountinfo);

// Whether a file system of `type` can be a player's: the FAT, exFAT and HFS+ of iPods and
// memory sticks. Nothing else is looked into (a network share may hang when looked at).
bool may_be_player_file_system(const std::string& type);

} // namespace morvane
