// SPDX-License-Identifier: GPL-3.0-or-later
// A decoder for one stream of an input, made the same way wherever the engine decodes: FFmpeg's
// decoder for the stream's codec, given the stream's parameters and time base.
#pragma once

#include "engine/ffmpeg_ptr.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

// Makes `decoder` for `stream`, not opened yet: the caller sets what its use needs (threads,
// limits, frames passed over) and opens it with avcodec_open2(decoder, nullptr, ...). An
// FFmpeg error when the codec has no decoder or the parameters cannot be taken.
int make_stream_decoder(const AVStream& stream, CodecContextPtr& decoder);

} // namespace morvane
