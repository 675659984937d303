// SPDX-License-Identifier: GPL-3.0-or-later
// Naming the output of a conversion: the input's base name in the output folder, never
// overwriting anything: name.ext, else name_0.ext, name_1.ext, ...
#pragma once

#include "jobs/device_profile.h"

#include <string>

namespace morvane {

// The input's file name without its folder and its last extension.
std::string output_base_name(const std::string& input_path);

// The name an input's output gets when it is free: <folder>/<base name><extension>, the
// extension of the device's video or audio files. A folder without its final "/" is a folder.
std::string planned_output_path(const DeviceProfile& device, const std::string& input_path,
                                bool video_output, const std::string& output_folder);

// The naming rule's candidate number `attempt` for a planned path ending in `extension`:
// attempt 0 is the planned path itself, attempt k is name_<k-1><extension>.
std::string output_name_candidate(const std::string& planned_path, const std::string& extension,
                                  long long attempt);

} // namespace morvane
