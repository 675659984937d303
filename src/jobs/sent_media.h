// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a player's collections a converted file joins: its films or its sound.
#pragma once

#include "jobs/device_profile.h"

#include <string>

namespace morvane {

enum class SentMedia { video, sound };

// Films go with the player's videos; sound, also the sound a film player made of a film
// without pictures, with its music. `output` is a file `device` converted.
SentMedia sent_media(const DeviceProfile& device, const std::string& output);

// The name the output of `input` takes on a player: the input's name with the output's
// extension, without the output folder's "_<n>" (the player has files of its own).
std::string sent_name(const std::string& input, const std::string& output);

} // namespace morvane
