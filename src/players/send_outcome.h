// SPDX-License-Identifier: GPL-3.0-or-later
// The words every player uses for a file that did not go onto it.
#pragma once

#include "jobs/player_sender.h"

#include <cstdint>
#include <string>

namespace morvane {

SendOutcome not_sent(std::string reason);

// "not enough space on the player (0.31 MB needed, 0.28 MB free)": with as many decimals as
// it takes for the two figures to differ.
SendOutcome not_enough_space(std::uint64_t needed, std::uint64_t available);

// "the player is full (0.04 MB free)": not even the least a file costs fits.
std::string player_full(std::uint64_t available);

} // namespace morvane
