// SPDX-License-Identifier: GPL-3.0-or-later
// What a person calls a connected player: "PSP", "iPod classic", or "iPod" when its model is
// not known.
#pragma once

#include "players/player_root.h"

#include <string>

namespace morvane {

std::string player_model_name(const PlayerRoot& root);

} // namespace morvane
