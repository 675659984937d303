// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/send_outcome.h"

#include <cstdio>

namespace morvane {

namespace {

std::string megabytes(std::uint64_t bytes, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f MB", decimals, static_cast<double>(bytes) / 1e6);
    return text;
}

} // namespace

SendOutcome not_sent(std::string reason) {
    SendOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

SendOutcome not_enough_space(std::uint64_t needed, std::uint64_t available) {
    int decimals = 1;
    while (decimals < 6 && megabytes(needed, decimals) == megabytes(available, decimals)) {
        ++decimals;
    }
    return not_sent("not enough space on the player (" + megabytes(needed, decimals) + " needed, " +
                    megabytes(available, decimals) + " free)");
}

std::string player_full(std::uint64_t available) {
    return "the player is full (" + megabytes(available, 2) + " free)";
}

} // namespace morvane
