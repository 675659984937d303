// SPDX-License-Identifier: GPL-3.0-or-later
// The plan a device makes of an input: everything the output is, from the device's row.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/media_input.h"
#include "jobs/conversion_choices.h"
#include "jobs/device_profile.h"

#include <string>

namespace morvane {

// What `device` makes of `input`: when the device shows films and the input has pictures, a
// film in the device's format for the chosen codec (its first when it has no such codec), the
// pictures fitted to its frame within its rates; otherwise sound alone. Its sound (or silence
// beside pictures without sound) at the device's rate, else the source's, never above the
// highest the device plays. A file of sound alone whose sound the device plays as it is (see
// plays_as_it_is) is copied, keeping its rate and channels, unless `copy_played_sound` is false
// (its copy found it damaged: it is converted instead).
ConversionPlan conversion_plan(const DeviceProfile& device, const ConversionChoices& choices,
                               const MediaInput& input, bool copy_played_sound = true);

// Whether `device` plays `sound`, the sound of a file of sound alone, as it is: in the codec of
// the device's own files of sound alone, and within what its maker publishes for that codec
// (DeviceProfile::played_sounds).
bool plays_as_it_is(const DeviceProfile& device, const MediaInput::Sound& sound);

} // namespace morvane
