// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's owning handles for FFmpeg objects, under the names the media generator and
// inspector use.
#pragma once

#include "engine/ffmpeg_ptr.h"

extern "C" {
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace morvane::test::av {

using InputPtr = morvane::InputFormatPtr;
using OutputPtr = morvane::OutputFormatPtr;
using morvane::CodecContextPtr;
using morvane::FramePtr;
using morvane::PacketPtr;

struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

} // namespace morvane::test::av
