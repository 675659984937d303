// SPDX-License-Identifier: GPL-3.0-or-later
// What became of one file sent to a player.
#pragma once

#include "jobs/sent_media.h"

#include <string>

namespace morvane {

struct SendOutcome {
    std::string landed_path; // sent: the file's path on the player
    std::string reason;      // not sent: why, in words a person can act on
    bool sent() const { return !landed_path.empty(); }
};

} // namespace morvane
