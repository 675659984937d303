// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the player a batch began with is still mounted where it was: its file system (the
// device id of its root) and the folder that marks its root (PSP/, iPod_Control/). A player
// pulled out or unmounted leaves a bare mount point on the computer's own disk, and nothing
// may be written there.
#pragma once

#include <string>
#include <sys/types.h>

namespace morvane {

class PlayerPresence {
public:
    // Notes which file system holds `root` now; `marker` is the folder its root holds.
    PlayerPresence(std::string root, std::string marker);

    // Whether the root is still on the file system noted, still holding its marker.
    bool present() const;
    // Whether the file or folder at `path` is on the player's file system: something created
    // in a race with an unmount may have landed on the bare mount point instead.
    bool holds(const std::string& path) const;

    static constexpr const char* gone = "the player was disconnected";

private:
    std::string root_; // with a final '/'
    std::string marker_;
    dev_t device_ = 0;
    bool noted_ = false;
};

} // namespace morvane
