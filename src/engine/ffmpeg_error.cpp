// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ffmpeg_error.h"

extern "C" {
#include <libavutil/error.h>
}

namespace morvane {

std::string ffmpeg_error_text(int error_code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error_code, text, sizeof text) < 0) {
        return "error " + std::to_string(error_code);
    }
    return text;
}

} // namespace morvane
