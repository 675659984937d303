// SPDX-License-Identifier: GPL-3.0-or-later
// Black bars baked into a film's picture (letterbox, pillarbox), found as a person would find
// them: a look at a few scenes spread over the film, before it is converted.
#pragma once

#include "engine/media_input.h"
#include "engine/picture_crop.h"

#include <optional>

namespace morvane {

// The part of the stored picture inside bars that most of the film's scenes show (two thirds
// of the sampled scenes that are not black all over), bars on opposite sides of the same
// size within a few lines, every edge on an even pixel. Nothing when there are no such bars,
// or when the film cannot be looked into (too short, damaged, a seek that fails): the film is
// then converted whole. Reads the file through a reader of its own, never moving `input`'s.
std::optional<PictureCrop> find_black_bars(const MediaInput& input);

} // namespace morvane
