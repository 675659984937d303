// SPDX-License-Identifier: GPL-3.0-or-later
// Naming the output of a conversion: the input's base name in the output folder, never
// overwriting anything: name.ext, else name_0.ext, name_1.ext, ...
#pragma once

#include <string>

namespace morvane {

// The input's file name without its folder and its last extension.
std::string output_base_name(const std::string& input_path);

// The name an input's output gets when it is free: <folder>/<base name><extension>. A folder
// without its final "/" is a folder. The base name is shortened, never inside a character,
// so that the name fits the folder's file system (its longest name, _PC_NAME_MAX) with room
// left for the naming rule's "_<n>".
std::string planned_output_path(const std::string& folder, const std::string& base_name,
                                const std::string& extension);

// The naming rule's candidate number `attempt` for a planned path ending in `extension`:
// attempt 0 is the planned path itself, attempt k is name_<k-1><extension>.
std::string output_name_candidate(const std::string& planned_path, const std::string& extension,
                                  long long attempt);

} // namespace morvane
