// One open input container with the decoder context of each of its streams.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <cstdint>
#include <vector>

namespace morvane {

struct InputFile {
    InputFormatPtr container;
    std::vector<CodecContextPtr> decoders; // one per stream, same order
    std::int64_t ts_offset = 0;            // microseconds added to every packet timestamp
};

} // namespace morvane
