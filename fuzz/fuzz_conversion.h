// SPDX-License-Identifier: GPL-3.0-or-later
// One input converted the way the fuzz target converts it: straight through the engine (no
// job refuses anything first) under the plans the job makes for the iPod nano (MP4, MPEG-4
// video in bands, AAC) and for the iPod Shuffle (MP3). The test suite replays the kept
// findings through the same code.
#pragma once

#include <cstdint>
#include <filesystem>

namespace morvane::fuzz {

// Converts `input` twice into `work_folder`, whatever it holds; failing is fine, crashing or
// hanging is not. `recording_time` (microseconds, 0: all) bounds the timeline converted: a
// few bytes may legitimately describe hours.
void convert_for_fuzzing(const std::filesystem::path& input,
                         const std::filesystem::path& work_folder, std::int64_t recording_time);

} // namespace morvane::fuzz
