// Per-input-stream state of a running conversion: where its clock stands and how its
// decoded sound is brought to packed 16-bit samples.
#pragma once

#include "engine/sample_converter.h"

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

struct InputStreamRecord {
    int file_index = 0;
    int stream_index = 0;
    AVStream* stream = nullptr;
    AVCodecContext* decoder = nullptr; // owned by its InputFile
    bool discard = true;               // until an output stream takes its data
    bool decoding_needed = false;

    // Microseconds on the engine's clock (file offsets applied).
    std::int64_t next_timestamp = AV_NOPTS_VALUE;        // expected time of the next decoded frame
    std::int64_t current_timestamp = 0;                  // time of the frame being handed on
    std::int64_t last_frame_packet_dts = AV_NOPTS_VALUE; // stream time base
    std::int64_t last_dts = AV_NOPTS_VALUE;              // decoding time of the last packet
    std::int64_t next_dts = AV_NOPTS_VALUE; // expected decoding time of the next packet

    SampleConverter to_packed_s16; // decoded sound as packed 16-bit at its own rate and layout
};

} // namespace morvane
