// SPDX-License-Identifier: GPL-3.0-or-later
// The folder of the running executable: Skins/ and devices/ lie beside it.
#pragma once

#include <string>

namespace morvane {

// Absolute, links resolved, ending in "/". Should /proc be unavailable, the current
// folder stands in (still absolute, still ending in "/").
std::string program_folder();

} // namespace morvane
