// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-stream audio decoding and the simple measures tests need.
#include "support/decoded_audio.h"

#include "support/av_error.h"
#include "support/stream_decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <stdexcept>
#include <string>

namespace morvane::test {
namespace {

// Below this a signal is taken for silence by the crossing counter.
constexpr float kHysteresis = 0.01F;

// A converter from the decoder's frames to packed float at the same rate and channel count.
av::ResamplerPtr make_resampler(const AVFrame& frame) {
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
    } else {
        av::check(av_channel_layout_copy(&layout, &frame.ch_layout), "copying a channel layout");
    }
    SwrContext* resampler = nullptr;
    const int result = swr_alloc_set_opts2(
        &resampler, &layout, AV_SAMPLE_FMT_FLT, frame.sample_rate, &layout,
        static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    av::check(result, "setting up sample conversion");
    av::ResamplerPtr owned(resampler);
    av::check(swr_init(owned.get()), "starting sample conversion");
    return owned;
}

void convert(SwrContext& resampler, const AVFrame* frame, int channels, std::vector<float>& out) {
    const int input_count = frame != nullptr ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(&resampler, input_count);
    if (room <= 0) {
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(room) * static_cast<std::size_t>(channels));
    auto* destination = reinterpret_cast<std::uint8_t*>(out.data() + start);
    const int converted = av::check(
        swr_convert(&resampler, &destination, room,
                    frame != nullptr ? const_cast<const std::uint8_t**>(frame->extended_data)
                                     : nullptr,
                    input_count),
        "converting samples");
    out.resize(start + static_cast<std::size_t>(converted) * static_cast<std::size_t>(channels));
}

} // namespace

DecodedAudio::DecodedAudio(int sample_rate, int channels, std::vector<float> samples)
    : sample_rate_(sample_rate), channels_(channels), samples_(std::move(samples)) {
    if (sample_rate <= 0 || channels <= 0 ||
        samples_.size() % static_cast<std::size_t>(channels) != 0) {
        throw std::invalid_argument("decoded audio needs a rate and whole frames");
    }
}

std::int64_t DecodedAudio::frame_count() const {
    return static_cast<std::int64_t>(samples_.size() / static_cast<std::size_t>(channels_));
}

double DecodedAudio::seconds() const {
    return static_cast<double>(frame_count()) / sample_rate_;
}

float DecodedAudio::sample(std::int64_t frame, int channel) const {
    return samples_[static_cast<std::size_t>(frame) * static_cast<std::size_t>(channels_) +
                    static_cast<std::size_t>(channel)];
}

double DecodedAudio::rms(int channel) const {
    if (channel < 0 || channel >= channels_) {
        throw std::out_of_range("no channel " + std::to_string(channel));
    }
    const std::int64_t frames = frame_count();
    if (frames == 0) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        const double value = sample(frame, channel);
        sum += value * value;
    }
    return std::sqrt(sum / static_cast<double>(frames));
}

double DecodedAudio::tone_frequency(int channel) const {
    if (channel < 0 || channel >= channels_) {
        throw std::out_of_range("no channel " + std::to_string(channel));
    }
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t crossings = 0;
    bool below = false;
    for (std::int64_t frame = 0; frame < frame_count(); ++frame) {
        const float value = sample(frame, channel);
        if (value < -kHysteresis) {
            below = true;
        } else if (value > kHysteresis && below) {
            below = false;
            if (first < 0) {
                first = frame;
            }
            last = frame;
            ++crossings;
        }
    }
    if (crossings < 2 || last == first) {
        return 0.0;
    }
    return static_cast<double>(crossings - 1) * sample_rate_ / static_cast<double>(last - first);
}

DecodedAudio decode_audio(const std::filesystem::path& path, int audio_track) {
    StreamDecoder decoder(path, AVMEDIA_TYPE_AUDIO, audio_track);
    av::FramePtr frame(av_frame_alloc());
    if (!frame) {
        av::fail("cannot allocate a frame");
    }
    av::ResamplerPtr resampler;
    int sample_rate = decoder.decoder().sample_rate;
    int channels = decoder.decoder().ch_layout.nb_channels;
    std::vector<float> samples;
    while (decoder.next(*frame)) {
        if (!resampler) {
            sample_rate = frame->sample_rate;
            channels = frame->ch_layout.nb_channels;
            resampler = make_resampler(*frame);
        } else if (frame->sample_rate != sample_rate || frame->ch_layout.nb_channels != channels) {
            av::fail(path.string() + " changes its sample rate or channels midway");
        }
        convert(*resampler, frame.get(), channels, samples);
        av_frame_unref(frame.get());
    }
    if (resampler) {
        convert(*resampler, nullptr, channels, samples);
    } else if (sample_rate <= 0 || channels <= 0) {
        // A stream the container declares but never fills says nothing of its sound.
        av::fail(path.string() + " has no sound to decode");
    }
    return DecodedAudio(sample_rate, channels, std::move(samples));
}

} // namespace morvane::test
