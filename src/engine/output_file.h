// One output container with the encoder context of each of its streams.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <vector>

namespace morvane {

struct OutputFile {
    OutputFormatPtr container;
    std::vector<CodecContextPtr> encoders; // one per stream, same order
};

} // namespace morvane
