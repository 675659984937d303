// SPDX-License-Identifier: GPL-3.0-or-later
// Codecs as FFmpeg names them, and whether FFmpeg here decodes them: for the job's refusals
// and the lines that say what an output is made for.
#pragma once

#include "engine/codec_id.h"

#include <string>

namespace morvane {

// FFmpeg's short name of `codec` ("h264", "mp3"); empty for none.
std::string codec_name(CodecId codec);

// Whether FFmpeg here has a decoder for `codec`.
bool can_decode(CodecId codec);

// The short name of the codec the encoder `encoder` writes ("libx264" writes "h264"); empty
// when FFmpeg here has no such encoder.
std::string encoded_codec_name(const std::string& encoder);

} // namespace morvane
