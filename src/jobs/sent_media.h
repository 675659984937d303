// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a player's collections a converted file joins, and how it is handed to a player.
#pragma once

#include "jobs/conversion_job.h"
#include "jobs/device_profile.h"
#include "jobs/player_sender.h"

#include <string>

namespace morvane {

// Films go with the player's videos; sound, also the sound a film player made of a film
// without pictures, with its music: as the outcome says (JobOutcome::film).
SentMedia sent_media(const JobOutcome& outcome);

// The output `outcome` names, as a player takes it: under the input's name with the output's
// extension, without the output folder's "_<n>" (the player has files of its own).
FileToSend file_to_send(const JobOutcome& outcome);

} // namespace morvane
