// SPDX-License-Identifier: GPL-3.0-or-later
// Durations as people read them on a clock: "0:25", "5:00", "1:02:03".
#pragma once

#include <string>

namespace morvane {

// Whole seconds, rounded down (a file stopped at 24.9 s has not reached 0:25); negative
// values read as 0:00.
std::string clock_text(double seconds);

} // namespace morvane
