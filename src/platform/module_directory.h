// The folder of the running executable: config.ini, Skins/ and devices/ lie beside it.
#pragma once

#include <string>

namespace morvane {

// Absolute, links resolved, ending in "/". Should /proc be unavailable, the current
// folder stands in (still absolute, still ending in "/").
std::string module_directory();

} // namespace morvane
