// SPDX-License-Identifier: GPL-3.0-or-later
// A sound track of silence beside pictures that have none: the players want both. It keeps
// pace with the pictures (filled up to where they have come), so the muxer interleaves the
// two as usual. It also stands in for a sound that gave nothing before a stop.
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/stream_encoder.h"

#include <cstdint>

namespace morvane {

class SilentTrack {
public:
    // Encodes through `output`, which must outlive it.
    explicit SilentTrack(StreamEncoder& output);

    // Prepares a frame of silence in the encoder's shape; 0 or an FFmpeg error.
    int open();
    // Silence up to `end` (microseconds of the input's timeline), in whole encoder frames.
    int fill_to(std::int64_t end);
    // Silence to `end` and the encoder drained.
    int finish(std::int64_t end);

private:
    StreamEncoder& output_;
    FramePtr silence_;
    std::int64_t next_sample_ = 0;
};

} // namespace morvane
