// SPDX-License-Identifier: GPL-3.0-or-later
// Where the flashes and beeps of a flash-and-beep file (media_description.h) land once a file
// is played: the marks that tell whether picture and sound stayed together.
#pragma once

#include <filesystem>
#include <vector>

namespace morvane::test {

// Seconds where the picture (the middle of the first video stream's frames, which a flash
// lights) turns white after being dark; each picture at its presentation time, as a player
// shows it. Throws std::runtime_error when the file has no video it can decode.
std::vector<double> flash_times(const std::filesystem::path& path);

// Seconds where the sound (the first channel of the first audio stream) starts after at least
// 50 ms of quiet, read as a player reads it: the first decoded frame at its own time, then
// every sample right after the one before, whatever later frames' timestamps say. Any sample
// format. Throws std::runtime_error when the file has no audio it can decode.
std::vector<double> beep_times(const std::filesystem::path& path);

} // namespace morvane::test
