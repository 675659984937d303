// One open input container and the streams a conversion takes from it.
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/stream_choice.h"

#include <cstdint>

namespace morvane {

struct InputFile {
    IoContextPtr io; // the file; outlives the container that reads it
    InputFormatPtr container;
    StreamChoice streams;
    std::int64_t ts_offset = 0; // microseconds added to every packet timestamp
};

} // namespace morvane
