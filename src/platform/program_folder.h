// SPDX-License-Identifier: GPL-3.0-or-later
// The folder of the running executable, and the folder of the data it reads (Skins/,
// devices/, icons/): the same folder in a build tree, <prefix>/share/morvane/ installed.
#pragma once

#include <string>

namespace morvane {

// Absolute, links resolved, ending in "/". Should /proc be unavailable, the current
// folder stands in (still absolute, still ending in "/").
std::string program_folder();

// Ending in "/": `program` itself (which ends in "/") when Skins/ lies in it, as in a build
// tree; else `program` followed by `installed_relative`, the path from the installed
// executables to the installed data (e.g. "../../share/morvane"), without the "..".
std::string data_folder(const std::string& program, const std::string& installed_relative);

// The data folder of the running executable, for the layout it was built to install.
std::string data_folder();

} // namespace morvane
