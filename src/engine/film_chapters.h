// SPDX-License-Identifier: GPL-3.0-or-later
// A film's chapters carried from its input into its output, where the players read them (the
// mov family of muxers writes them as a QuickTime chapter track and as Nero's chpl list).
#pragma once

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

// Gives `output` (after its header: the mov muxers write chapters given then, at the end,
// both as their chapter track and as Nero's list) the chapters of `input` on the output's
// timeline, which starts at the input's start; with a `time_limit` (microseconds, 0: none)
// those from there on are left out and the last ends there. Titles and other tags are kept.
// 0 or an FFmpeg error.
int copy_chapters(const AVFormatContext& input, AVFormatContext& output, std::int64_t time_limit);

// Once the output's `end` (microseconds) is known, before its trailer: chapters that start
// there or later are left out (the first is always kept) and the last ends there.
void cut_chapters(AVFormatContext& output, std::int64_t end);

} // namespace morvane
