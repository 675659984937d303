// SPDX-License-Identifier: GPL-3.0-or-later
// Which files the Open dialog offers: the extensions of the audio and video files Morvane
// reads. Folders are walked by the worker (InputCollector), which knows media by content.
#pragma once

#include <string>
#include <vector>

namespace morvane {

// Lower-case extensions without the dot.
const std::vector<std::string>& media_extensions();

} // namespace morvane
