// Per-output-stream state of a running conversion: the encoder's clock and the tools that
// bring decoded pictures and sound to the encoder's shape.
#pragma once

#include "engine/ffmpeg_ptr.h"
#include "engine/padded_picture_pool.h"
#include "engine/sample_converter.h"

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

struct OutputStreamRecord {
    int file_index = 0;
    int stream_index = 0;
    int source_index = 0; // its InputStreamRecord, also the clock it follows
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr; // owned by its OutputFile
    int frame_number = 0; // frames sent to the encoder

    // Video: index of the next output frame in encoder time base units.
    // Audio: samples emitted so far (the output audio clock).
    std::int64_t next_output_frame = 0;

    // The muxer wants strictly increasing decoding times; the last one written, in the
    // stream's time base.
    std::int64_t last_written_dts = AV_NOPTS_VALUE;
    double written_until = 0.0; // seconds of output written

    // Video.
    bool video_pad = false;
    PictureBorders pads;
    PaddedPicturePool pictures;
    ScalerPtr scaler;
    FramePtr last_picture{av_frame_alloc()}; // shown again if the input lasts longer

    // Audio.
    bool audio_resample = false;
    SampleConverter resampler;         // packed 16-bit, input rate/layout -> encoder's
    AudioFifoPtr fifo;                 // packed 16-bit at the encoder's rate and layout
    SampleConverter to_encoder_format; // packed 16-bit -> the encoder's sample format
    FramePtr encoder_frame;            // one encoder frame, reused
    std::vector<std::uint8_t> fifo_read_buffer;
};

} // namespace morvane
