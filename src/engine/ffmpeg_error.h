// SPDX-License-Identifier: GPL-3.0-or-later
// Readable text for an FFmpeg error code (av_err2str is a C compound literal, unusable in C++).
#pragma once

#include <string>

namespace morvane {

std::string ffmpeg_error_text(int error_code);

} // namespace morvane
