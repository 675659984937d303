// SPDX-License-Identifier: GPL-3.0-or-later
// What became of one file sent to a player.
#pragma once

#include "jobs/sent_media.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace morvane {

struct SendOutcome {
    std::string landed_path; // sent: the file's path on the player
    std::string reason;      // not sent: why, in words a person can act on
    bool sent() const { return !landed_path.empty(); }
};

inline SendOutcome not_sent(std::string reason) {
    SendOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

// The same words for every player that lacks the room for a file.
inline SendOutcome not_enough_space(std::uint64_t needed, std::uint64_t available) {
    const auto megabytes = [](std::uint64_t bytes) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
        return std::string(text);
    };
    return not_sent("not enough space on the player (" + megabytes(needed) + " needed, " +
                    megabytes(available) + " free)");
}

} // namespace morvane
