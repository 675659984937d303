// The option block of the engine: what the next conversion produces and how it behaves.
// reset_engine writes the defaults below; open_input_file and the job runner overwrite the
// per-file fields; the behaviour constants stay at their defaults.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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
    // open_input_file: the picture as it is shown (pixel shape and rotation applied);
    // set_frame_size_fit: the size it is scaled to inside the pads.
    int frame_width = 0;
    int frame_height = 0;
    int pad_top = 0;
    int pad_bottom = 0;
    int pad_left = 0;
    int pad_right = 0;
    int frame_pixel_format = AV_PIX_FMT_NONE;
    AVCodecID video_codec_override = AV_CODEC_ID_NONE;
    AVCodecID audio_codec_override = AV_CODEC_ID_NONE;
    bool video_disable = false;
    // An output with pictures from an input without sound gets a silent sound track.
    bool silent_sound = false;
    // Tags written into the output beside those copied from the input.
    std::vector<std::pair<std::string, std::string>> output_tags;
    // Microseconds of the input's timeline to convert; 0: all of it.
    std::int64_t recording_time = 0;

    // Behaviour constants.
    // Threads chosen by measurement on two cores (bench/compare-ffmpeg, the nano job): the
    // H.264 decoder takes most of the time; three MPEG-4 slice threads cut the wall time by a
    // quarter even at 320x240; filter-graph threads gain nothing (scale, pad and fps are not
    // sliced), so the graph runs on the converting thread.
    int decoder_threads = 3;
    int encoder_threads = 3;
    int filter_threads = 1;
    // Sound converted on a thread of its own beside the pictures; packets queued for it.
    int sound_queue_packets = 32;
    // Seconds: a jump beyond the first restarts the clock of formats that declare
    // discontinuities; a time further than the second from where its stream stands is
    // damage, in any format (the ffmpeg tool's values).
    float dts_delta_threshold = 10.0f;
    float dts_error_threshold = 3600.0f * 30;
    // Larger pictures are refused before any memory is taken for them; 8K still converts.
    std::int64_t max_pixels = 8192LL * 4320;
    int max_quant_diff = 3;
    int intra_dc_precision = 8;
    float mux_max_delay = 0.7f;
    // The players decode at most this rate.
    int max_sample_rate = 48000;
};

} // namespace morvane
