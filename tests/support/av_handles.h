// The engine's owning handles for FFmpeg objects, under the names the media generator and
// inspector use.
#pragma once

#include "engine/ffmpeg_ptr.h"

namespace morvane::test::av {

using InputPtr = morvane::InputFormatPtr;
using OutputPtr = morvane::OutputFormatPtr;
using morvane::CodecContextPtr;
using morvane::FramePtr;
using morvane::PacketPtr;
using morvane::ResamplerPtr;
using morvane::ScalerPtr;

} // namespace morvane::test::av
