// SPDX-License-Identifier: GPL-3.0-or-later
// The tags FFmpeg read from an input, as its format names them ("album_artist", "TSO2",
// "lyrics-eng", ...), for the job to sort out.
#pragma once

#include "engine/media_input.h"

#include <string>
#include <utility>
#include <vector>

namespace morvane {

using TagEntries = std::vector<std::pair<std::string, std::string>>;

// The container's tags, then those of the sound stream that is converted (Ogg keeps them
// there), each in FFmpeg's order.
TagEntries input_tags(const MediaInput& input);

} // namespace morvane
