// SPDX-License-Identifier: GPL-3.0-or-later
// Cover art: a still picture attached to a (usually sound-only) file. It arrives as a video
// stream, but it is not video, and is never converted as such.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

inline bool is_cover_art(const AVStream* stream) {
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

} // namespace morvane
