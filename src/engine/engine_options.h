// The option block of the engine: what the next conversion produces and how it behaves.
// reset_engine writes the defaults below; open_input_file and the job runner overwrite the
// per-file fields; the behaviour constants stay at their defaults.
#pragma once

#include <array>
#include <climits>
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace morvane {

struct EngineOptions {
    // Per conversion.
    int video_bit_rate = -1;
    int audio_sample_rate = 44100;
    int audio_channels = 1;
    AVRational frame_rate{0, 0}; // numerator 0 means 25/1
    int frame_width = 0;
    int frame_height = 0;
    int pad_top = 0;
    int pad_bottom = 0;
    int pad_left = 0;
    int pad_right = 0;
    AVRational frame_sample_aspect_ratio{0, 1}; // the input's pixel shape, kept on the output
    int frame_pixel_format = AV_PIX_FMT_NONE;
    AVCodecID video_codec_override = AV_CODEC_ID_NONE;
    AVCodecID audio_codec_override = AV_CODEC_ID_NONE;
    bool video_disable = false;
    bool audio_disable = false;
    bool subtitle_disable = false;

    // Behaviour constants.
    int thread_count = 3;
    int verbosity = 1;
    int video_sync_method = 1; // 0 none, 1 drop and duplicate, 2 follow the input's clock
    float dts_delta_threshold = 10.0f;
    int bit_buffer_size = 256 * 1024;
    int scaler_flags = 4;                                // bicubic
    std::array<std::uint8_t, 3> pad_color{16, 128, 128}; // Y, Cb, Cr
    std::array<int, 4> max_frames{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    int max_quant_diff = 3;
    int intra_dc_precision = 8;
    float mux_max_delay = 0.7f;
    std::int64_t start_time = 0;
    std::int64_t recording_time = 0;
    std::int64_t size_limit = 0;
    std::int64_t input_ts_offset = 0;
};

} // namespace morvane
