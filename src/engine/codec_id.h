// SPDX-License-Identifier: GPL-3.0-or-later
// A codec as FFmpeg numbers it (its AVCodecID), carried through the modules that do not
// include FFmpeg; codec_names.h says what it is.
#pragma once

namespace morvane {

enum class CodecId : int { none = 0 };

} // namespace morvane
