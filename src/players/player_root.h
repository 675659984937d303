// SPDX-License-Identifier: GPL-3.0-or-later
// Telling a player's file system by what its root holds: `iPod_Control/` on an iPod that runs
// its own firmware, `PSP/` on a PSP's memory stick.
#pragma once

#include <optional>
#include <string>

namespace morvane {

enum class PlayerKind { ipod, psp };

struct PlayerRoot {
    PlayerKind kind = PlayerKind::psp;
    std::string path; // the root, with a final '/'
    // An iPod's model number as its SysInfo states it ("xA623"); empty when unknown (a PSP,
    // or a SysInfo that is missing, damaged or not what an iPod writes).
    std::string model_number;

    bool operator==(const PlayerRoot&) const = default;
};

// What `folder` is when it is a player's root; nothing for any other folder (or a path that
// is not a folder, or cannot be read). Never blocks on what lies there (a FIFO, say).
std::optional<PlayerRoot> find_player_root(const std::string& folder);

// "iPod" or "PSP".
std::string player_kind_name(PlayerKind kind);

} // namespace morvane
