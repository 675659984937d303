// SPDX-License-Identifier: GPL-3.0-or-later
// What FFmpeg writes to standard error of its own accord, set once by each program's main().
#pragma once

namespace morvane {

// none: nothing (a command whose output is its own); errors: its errors alone (its notes on
// every file are for developers).
enum class FfmpegMessages { none, errors };

void show_ffmpeg_messages(FfmpegMessages shown);

} // namespace morvane
