// SPDX-License-Identifier: GPL-3.0-or-later
// What an output is made for, in one line: what decides what a player receives (the kind of
// file, the picture's codec, profile, level and frame size, the sound's codec, rate and
// channels; every film is at the same frame rate). Two devices that would get the same file
// share it; any difference tells their outputs apart.
#pragma once

#include "engine/conversion_plan.h"

#include <string>

namespace morvane {

// "mp4 mpeg4 320x240 aac 44100x2", "mp4 h264 baseline 3.0 320x240 aac 44100x2",
// "mp3 mp3 44100x2": `extension` is the output's, with its dot.
std::string output_target(const ConversionPlan& plan, const std::string& extension);

// The same line read back from a finished output (for outputs whose mark does not say):
// empty when the file cannot be opened.
std::string probed_output_target(const std::string& path);

} // namespace morvane
