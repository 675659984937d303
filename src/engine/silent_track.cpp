// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/silent_track.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace morvane {

namespace {

// Samples per frame for encoders that take any count.
constexpr int variable_frame_samples = 1024;

} // namespace

SilentTrack::SilentTrack(StreamEncoder& output) : output_(output), silence_(av_frame_alloc()) {}

int SilentTrack::open() {
    const AVCodecContext& encoder = output_.context();
    if (!silence_ || !output_.allocated() || encoder.sample_rate <= 0) {
        return AVERROR(ENOMEM);
    }
    silence_->format = encoder.sample_fmt;
    silence_->sample_rate = encoder.sample_rate;
    silence_->nb_samples = encoder.frame_size > 0 ? encoder.frame_size : variable_frame_samples;
    int result = av_channel_layout_copy(&silence_->ch_layout, &encoder.ch_layout);
    if (result >= 0) {
        result = av_frame_get_buffer(silence_.get(), 0);
    }
    if (result < 0) {
        return result;
    }
    return av_samples_set_silence(silence_->extended_data, 0, silence_->nb_samples,
                                  silence_->ch_layout.nb_channels, encoder.sample_fmt);
}

int SilentTrack::fill_to(std::int64_t end) {
    const AVCodecContext& encoder = output_.context();
    const std::int64_t last_sample = av_rescale(end, encoder.sample_rate, AV_TIME_BASE);
    while (next_sample_ + silence_->nb_samples <= last_sample) {
        silence_->pts =
            av_rescale_q(next_sample_, AVRational{1, encoder.sample_rate}, encoder.time_base);
        const int result = output_.encode(silence_.get());
        if (result < 0) {
            return result;
        }
        next_sample_ += silence_->nb_samples;
    }
    return 0;
}

int SilentTrack::finish(std::int64_t end) {
    // One frame more covers the part of a frame that fill_to left.
    const AVCodecContext& encoder = output_.context();
    const std::int64_t frame = av_rescale(silence_->nb_samples, AV_TIME_BASE, encoder.sample_rate);
    const int result = fill_to(end + frame);
    return result < 0 ? result : output_.encode(nullptr);
}

} // namespace morvane
