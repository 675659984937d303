// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ffmpeg_messages.h"

extern "C" {
#include <libavutil/log.h>
}

namespace morvane {

void show_ffmpeg_messages(FfmpegMessages shown) {
    av_log_set_level(shown == FfmpegMessages::none ? AV_LOG_QUIET : AV_LOG_ERROR);
}

} // namespace morvane
