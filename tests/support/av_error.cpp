// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg error codes turned into exceptions with FFmpeg's own text.
#include "support/av_error.h"

#include "engine/ffmpeg_error.h"

#include <stdexcept>

namespace morvane::test::av {

std::string error_text(int error_code) {
    return ffmpeg_error_text(error_code);
}

int check(int result, std::string_view what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + error_text(result));
    }
    return result;
}

void fail(std::string_view what) {
    throw std::runtime_error(std::string(what));
}

} // namespace morvane::test::av
