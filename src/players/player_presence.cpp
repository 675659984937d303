// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/player_presence.h"

#include <sys/stat.h>

namespace morvane {

PlayerPresence::PlayerPresence(std::string root, std::string marker)
    : root_(std::move(root)), marker_(std::move(marker)) {
    if (root_.empty() || root_.back() != '/') {
        root_ += '/';
    }
    struct stat status {};
    noted_ = ::stat(root_.c_str(), &status) == 0;
    device_ = status.st_dev;
    noted_ = noted_ && present();
}

bool PlayerPresence::present() const {
    struct stat root {};
    struct stat marker {};
    return noted_ && ::stat(root_.c_str(), &root) == 0 && root.st_dev == device_ &&
           ::stat((root_ + marker_).c_str(), &marker) == 0 && S_ISDIR(marker.st_mode) &&
           marker.st_dev == device_;
}

bool PlayerPresence::holds(const std::string& path) const {
    struct stat status {};
    return noted_ && ::lstat(path.c_str(), &status) == 0 && status.st_dev == device_;
}

} // namespace morvane
