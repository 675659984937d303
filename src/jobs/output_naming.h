// Naming the output of a conversion: the input's base name in the output folder, never
// overwriting anything.
#pragma once

#include "jobs/device_profile.h"

#include <optional>
#include <string>

namespace morvane {

// The input's file name without its folder and its last extension.
std::string output_base_name(const std::string& input_path);

// Chooses the first free name of name.ext, name_0.ext, name_1.ext, ... in `output_folder`
// (used as a plain prefix) and reserves it by creating the empty file exclusively, so that
// no other conversion, in this process or another, can take the same name. A folder of that
// name counts as taken. Returns nothing when no file can be created there at all.
std::optional<std::string> make_output_path(const DeviceProfile& device,
                                            const std::string& input_path, bool video_output,
                                            const std::string& output_folder);

} // namespace morvane
