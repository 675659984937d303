// SPDX-License-Identifier: GPL-3.0-or-later
// Which streams of an input a conversion takes: FFmpeg's best video and audio stream
// (default-flagged first), never one the input set aside (AVDISCARD_ALL: declared, never
// there), and the cover picture. The job's codec check looks at the same.
#pragma once

struct AVFormatContext; // FFmpeg's, known to the engine's code only

namespace morvane {

struct StreamChoice {
    int video = -1; // never a cover picture
    int audio = -1;
    int cover_art = -1;
};

StreamChoice choose_streams(const AVFormatContext& container);

} // namespace morvane
